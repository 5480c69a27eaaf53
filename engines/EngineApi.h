#pragma once
/*
 * The contract between the zip component and the two engine libraries
 * (libzipengine.so: add and delete; libunzengine.so: extract and test).
 *
 * The component fills a command record, zero-filled, and calls one entry point; the engine
 * reports through the record's callback and returns the number of files it processed.
 * Flags are 0 or 1. Fields keep their historical order; integers are 32 bits and pointers
 * have the native width, so on a 32-bit build every offset is the classic one (checked below).
 * Strings are NUL-terminated (UTF-8 or the bytes of file names) and stay owned by the caller.
 * Add and delete change an archive all at once or not at all. Extraction writes below the
 * current folder only, each file through a temporary file beside it.
 *
 * Callback order during one exec call: action 5 (file count), action 6 (total bytes), then
 * for each file action 1 (name, size) followed by action-2 reports (bytes since the last
 * report), finally action 3. Action 4 carries a message and an error code at any time.
 * A callback returning anything but 0 stops the engine at once; an archive being changed
 * is then left exactly as it was before the call.
 */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TARNWICK_ENGINE_EXPORT __attribute__((visibility("default")))

/* Versions the engines report; the component builds the current record layouts for them. */
#define ZIP_ENGINE_VERSION 155
#define UNZ_ENGINE_VERSION 152
/* Lowest engine versions that take the layouts below. */
#define ZIP_ENGINE_MIN_CURRENT_LAYOUT 151
#define UNZ_ENGINE_MIN_CURRENT_LAYOUT 152
/* Value of the last field of both records, to catch a caller built against another layout. */
#define ENGINE_RECORD_MARKER 7

/* Callback action codes (ActionCode). */
enum {
    ZACTION_FILE_BEGIN = 1, /* FileSize = size of the file; text = its name */
    ZACTION_BYTES_DONE = 2, /* FileSize = bytes handled since the last report */
    ZACTION_BATCH_END = 3,  /* the work is over; FileSize = 0 */
    ZACTION_MESSAGE = 4,    /* text = message; ErrorCode = one of ZERR_* (0 for a plain note) */
    ZACTION_FILE_COUNT = 5, /* FileSize = number of files the call will handle */
    ZACTION_BYTE_COUNT = 6  /* FileSize = total bytes the call will handle */
};

/* Error codes carried by action-4 messages. All fit in a signed byte, which the component
 * keeps as its last error id. */
enum {
    ZERR_NONE = 0,          /* a note (verbose output, a skipped file by the options) */
    ZERR_BAD_RECORD = 1,    /* record version or marker wrong, or a required field missing */
    ZERR_OPEN_ARCHIVE = 2,  /* the archive cannot be opened or is not a zip archive */
    ZERR_READ = 3,          /* a source file or member cannot be read */
    ZERR_WRITE = 4,         /* the archive or an extracted file cannot be written */
    ZERR_NO_MEMORY = 5,     /* out of memory */
    ZERR_PASSWORD = 6,      /* password missing or wrong for an encrypted member */
    ZERR_CANCELLED = 7,     /* the callback asked to stop */
    ZERR_NOTHING_TO_DO = 8, /* no file or member matched the file specs */
    ZERR_UNSAFE_NAME = 9,   /* member name absolute or climbing with "..": skipped */
    ZERR_BAD_DATA = 10,     /* CRC mismatch or damaged compressed data */
    ZERR_UNSUPPORTED = 11,  /* compression or encryption method not supported */
    ZERR_CREATE = 12,       /* an output file or folder cannot be created */
    ZERR_EXISTS = 13,       /* an existing file was kept (no overwrite asked): skipped */
    ZERR_MOVE = 14          /* a source could not be deleted after a move */
};

/* Room for the callback's text, including the terminating NUL. Longer texts are cut at a
 * character boundary. */
#define ZCALLBACK_TEXT_SIZE 4096

/* Filled by the engine and passed by pointer to the callback. */
typedef struct ZCallBackStruct {
    void* Handle;           /* application window handle, copied from the record */
    void* Caller;           /* the component that issued the command, copied from the record */
    int32_t Version;        /* the engine's version */
    int32_t IsOperationZip; /* 1 from the zip engine, 0 from the unzip engine */
    int32_t ActionCode;     /* ZACTION_* */
    int32_t ErrorCode;      /* action 4: ZERR_* */
    int32_t FileSize;       /* size, increment, count or total, per action (signed) */
    char FileNameOrMsg[ZCALLBACK_TEXT_SIZE]; /* file name or message, NUL-terminated */
} ZCallBackStruct;

/* The callback: one pointer argument; returns 0 to go on, anything else to stop. */
typedef int32_t (*ZFunctionPtrType)(ZCallBackStruct* info);

/* One file spec of an add or delete: a file name, folder or wildcard mask (* and ?). */
typedef struct ZipExecFileSpec {
    const char* FileSpec; /* the name or mask */
    int32_t Reserved[25]; /* 0 */
} ZipExecFileSpec;

/* One file spec of an extraction: a member name or mask ("*.*" takes every member). */
typedef struct UnzExecFileSpec {
    const char* FileSpec; /* the name or mask */
    int32_t Reserved[17]; /* 0 */
} UnzExecFileSpec;

/* Command record of ZipEngineExec: an add, or a delete when DeleteEntries is 1. */
typedef struct ZipExecRecord {
    void* Handle;                     /* application window handle */
    void* Caller;                     /* the component; copied into every callback */
    int32_t Version;                  /* record version, ZIP_ENGINE_VERSION */
    ZFunctionPtrType Callback;        /* where the engine reports */
    int32_t TraceEnabled;             /* trace the work in action-4 notes */
    const char* Password;             /* password for encryption; may be NULL or empty */
    int16_t CodePage;                 /* as in UnzExecRecord: how the names of members are read when
                                         specs name them (0, auto, where the classic record holds 0) */
    int16_t Reserved26;               /* 0 */
    int32_t Encrypt;                  /* encrypt added files with Password (AES-256) */
    int32_t IncludeHidden;            /* include hidden files (names beginning with '.') */
    int32_t Reserved36;               /* 0 */
    int32_t Reserved40;               /* 0 */
    int32_t NoDirEntries;             /* 1: no separate entries for folders */
    int32_t Reserved48;               /* 0 */
    int32_t Verbose;                  /* report more in action-4 notes */
    int32_t Quiet;                    /* 1: no questions (the engines never ask) */
    int32_t Level;                    /* 0 stores, 1-9 deflate at that level */
    int32_t Reserved64;               /* 0 */
    int32_t Reserved68;               /* 0 */
    int32_t JunkDirs;                 /* 1: store names without their folders */
    int32_t Recurse;                  /* go into subfolders, matching masks at every level */
    int32_t Grow;                     /* 1 for an add, 0 for a delete */
    int32_t ForceDOS;                 /* store 8.3 upper-case names */
    int32_t Move;                     /* delete each source once the archive is written */
    int32_t DeleteEntries;            /* 1: delete the members named by the specs */
    int32_t Update;                   /* add new files and replace older members */
    int32_t Freshen;                  /* only replace members older than their files */
    int32_t Reserved104;              /* 0 */
    int32_t LatestTime;               /* set the archive's time to its newest entry */
    int32_t Reserved112;              /* 0 */
    int32_t Reserved116;              /* 0 */
    int32_t FileSpecCount;            /* entries in FileSpecs */
    const char* ZipFileName;          /* the archive written (created when absent) */
    const char* TempDir;              /* ignored: the new archive is written beside the old one,
                                         the only place it can be renamed over it at once */
    int32_t Reserved132;              /* 0 */
    int32_t Reserved136;              /* 0 */
    const ZipExecFileSpec* FileSpecs; /* FileSpecCount specs */
    int32_t Reserved144[17];          /* 0 */
    int32_t Seven;                    /* ENGINE_RECORD_MARKER */
} ZipExecRecord;

/* Command record of UnzEngineExec: extract, or test when Test is 1. */
typedef struct UnzExecRecord {
    void* Handle;                     /* application window handle */
    void* Caller;                     /* the component; copied into every callback */
    int32_t Version;                  /* record version, UNZ_ENGINE_VERSION */
    ZFunctionPtrType Callback;        /* where the engine reports */
    int32_t TraceEnabled;             /* trace the work in action-4 notes */
    int16_t CodePage;                 /* 0 auto, 1 none, 2 OEM: how stored names are read */
    int16_t Reserved22;               /* 0 */
    const char* Password;             /* password for encrypted members; may be NULL or empty */
    int32_t Test;                     /* test the members, write nothing */
    int32_t Reserved32;               /* 0 */
    int32_t Reserved36;               /* 0 */
    int32_t Quiet;                    /* 1: no questions (the engines never ask) */
    int32_t Verbose;                  /* report more in action-4 notes */
    int32_t Update;                   /* extract new files and replace older ones */
    int32_t Freshen;                  /* only replace existing files older than their members */
    int32_t Directories;              /* 1: recreate stored folders; 0: names without folders */
    int32_t OverWrite;                /* replace existing files */
    int32_t FileSpecCount;            /* entries in FileSpecs */
    const char* ZipFileName;          /* the archive read */
    const UnzExecFileSpec* FileSpecs; /* FileSpecCount specs */
    int32_t Reserved76[17];           /* 0 */
    int32_t Seven;                    /* ENGINE_RECORD_MARKER */
} UnzExecRecord;

/* Whether a member's name or comment, stored without the UTF-8 flag, is read as code page 437
 * (OEM) rather than as its bytes, by a record's CodePage (0 auto, 1 none, 2 OEM) and the
 * entry's "version made by" (host number and version, Info-ZIP's numbering): automatically for
 * names made on MS-DOS (host 0), OS/2 HPFS (6) and Windows NT (11, version 50). The component
 * lists names by this rule and the engines read them by it, so a name listed is a name found. */
static inline int ZipNameIsOem(int codePage, int hostNum, int hostVer) {
    if (codePage == 1) return 0;
    if (codePage == 2) return 1;
    return hostNum == 0 || hostNum == 6 || (hostNum == 11 && hostVer == 50);
}

/* Entry points. ZipEngineExec returns the number of entries written or deleted (folder entries
 * included; 0 when the archive was left as it was), UnzEngineExec the number of files extracted
 * or tested good. */
TARNWICK_ENGINE_EXPORT int32_t ZipEngineExec(ZipExecRecord* record);
TARNWICK_ENGINE_EXPORT int32_t GetZipEngineVersion(void);
TARNWICK_ENGINE_EXPORT int32_t UnzEngineExec(UnzExecRecord* record);
TARNWICK_ENGINE_EXPORT int32_t GetUnzEngineVersion(void);

/* Pointer types of the entry points as looked up with dlsym. */
typedef int32_t (*ZipEngineExecFn)(ZipExecRecord* record);
typedef int32_t (*GetZipEngineVersionFn)(void);
typedef int32_t (*UnzEngineExecFn)(UnzExecRecord* record);
typedef int32_t (*GetUnzEngineVersionFn)(void);

#ifdef __cplusplus
}
#endif

#if defined(__cplusplus) && UINTPTR_MAX == 0xffffffffu
/* On a 32-bit build the records lie exactly as the classic engines expect. */
static_assert(__builtin_offsetof(ZCallBackStruct, ActionCode) == 16 &&
              __builtin_offsetof(ZCallBackStruct, FileNameOrMsg) == 28);
static_assert(__builtin_offsetof(ZipExecRecord, Level) == 60 &&
              __builtin_offsetof(ZipExecRecord, FileSpecs) == 140);
static_assert(__builtin_offsetof(ZipExecRecord, Seven) == 212 && sizeof(ZipExecRecord) == 216);
static_assert(__builtin_offsetof(UnzExecRecord, FileSpecs) == 72 &&
              __builtin_offsetof(UnzExecRecord, Seven) == 144);
static_assert(sizeof(UnzExecRecord) == 148);
static_assert(sizeof(ZipExecFileSpec) == 104 && sizeof(UnzExecFileSpec) == 72);
#endif
