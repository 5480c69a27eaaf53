// Directory search, attributes, moves and atomic replacement on real files.
#include "platform/Files.h"
#include "platform/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using Names = std::vector<std::string>;

TEST(Wildcards, StarQuestionAndCase) {
    EXPECT_TRUE(WildcardMatch("*.zip", "Game.ZIP"));
    EXPECT_TRUE(WildcardMatch("*.*", "README"));
    EXPECT_TRUE(WildcardMatch("*.*", ".hidden"));
    EXPECT_TRUE(WildcardMatch("game.*", "game"));
    EXPECT_FALSE(WildcardMatch("*.zip", "game.zip.bak"));
    EXPECT_TRUE(WildcardMatch("g?me*.n?s", "GAME (E).nes"));
    EXPECT_FALSE(WildcardMatch("g?me", "gme"));
    EXPECT_TRUE(WildcardMatch("*a*b*c", "xxaxxbxxbxc"));  // needs backtracking
    EXPECT_FALSE(WildcardMatch("*a*b*c", "xxaxxbxxbx"));
    EXPECT_TRUE(WildcardMatch("*", ""));
}

TEST(Wildcards, QuestionMarkTakesOneCharacterOfAUtf8NameAndOneByteOfAnyOther) {
    EXPECT_TRUE(WildcardMatch("?.zip", "\xC3\xA9.zip"));          // é, two bytes
    EXPECT_TRUE(WildcardMatch("?.zip", "\xF0\x9F\x8E\xAE.zip"));  // one character of four bytes
    EXPECT_FALSE(WildcardMatch("??.zip", "\xC3\xA9.zip"));
    EXPECT_TRUE(WildcardMatch("*?.zip", "\xC3\xA9.zip"));
    EXPECT_FALSE(WildcardMatch("*??.zip", "\xC3\xA9.zip"));
    EXPECT_TRUE(WildcardMatch("*?b",
                              "\xC3\xA9"
                              "ab"));  // the star steps back by characters
    EXPECT_TRUE(WildcardMatch("m?rio*.*", "M\xC3\xA1rio Kart"));
    // Windows-1252 bytes: each byte is a character of its own.
    EXPECT_TRUE(WildcardMatch("?.zip", "\xE9.zip"));
    EXPECT_FALSE(WildcardMatch("??.zip", "\xC3\xA9\xFF.zip"));
    EXPECT_TRUE(WildcardMatch("???.zip", "\xC3\xA9\xFF.zip"));  // not UTF-8 as a whole: bytes
    // The ".*" rule looks at the last part of a member path.
    EXPECT_TRUE(WildcardMatch("dir.v2/*.*", "dir.v2/readme"));
}

TEST(Search, PlainFilesInNameOrder) {
    TempDir dir;
    for (const char* n : {"b.zip", "A.zip", "a.zip", "c.ZIP", "d.txt", ".e.zip"}) dir.write(n, "x");
    mkdir(dir.file("f.zip").c_str(), 0755);
    dir.write(".g/inner", "");
    ASSERT_EQ(mkfifo(dir.file("p.zip").c_str(), 0644), 0);
    ASSERT_EQ(symlink("b.zip", dir.file("link.zip").c_str()), 0);
    ASSERT_EQ(symlink("missing", dir.file("dangling.zip").c_str()), 0);
    ASSERT_EQ(symlink("f.zip", dir.file("dirlink.zip").c_str()), 0);

    EXPECT_EQ(FindFiles(dir.path(), "*.zip"), (Names{"A.zip", "a.zip", "b.zip", "c.ZIP", "link.zip"}));
    EXPECT_EQ(FindFiles(dir.path(), "*.zip", FindPlainFiles | FindHiddenFiles),
              (Names{".e.zip", "A.zip", "a.zip", "b.zip", "c.ZIP", "link.zip"}));
    EXPECT_EQ(FindFiles(dir.path(), "*.*", FindFolders), (Names{"dirlink.zip", "f.zip"}));
    EXPECT_EQ(FindFiles(dir.path(), "*", FindFolders | FindHiddenFiles),
              (Names{".g", "dirlink.zip", "f.zip"}));
    EXPECT_EQ(FindFilesLike(dir.path() + "?.TXT"), (Names{"d.txt"}));
    EXPECT_TRUE(FindFiles(dir.file("nowhere"), "*").empty());

    const auto entries = FindEntries(dir.path(), "link.zip");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].size, 1u);  // the link counts by what it points to
    EXPECT_FALSE(IsPlainFile(dir.file("p.zip")));
    EXPECT_FALSE(FileExists(dir.file("f.zip")));
    EXPECT_TRUE(FolderExists(dir.file("f.zip")));
}

TEST(Search, NameOrderIgnoresCaseBeforeBytes) {
    // '_' lies between the upper and lower letters; a prefix comes before its longer names.
    TempDir dir;
    for (const char* n : {"b_", "B", "_b", "Ab", "a", "AB", "ab"}) dir.write(n, "x");
    EXPECT_EQ(FindFiles(dir.path(), "*"), (Names{"_b", "a", "AB", "Ab", "ab", "B", "b_"}));
}

TEST(FileOps, MoveNeverReplaces) {
    TempDir dir;
    const std::string from = dir.write("from.bin", "new"), to = dir.write("to.bin", "old");
    EXPECT_FALSE(MoveFile(from, to));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(TempDir::read(to), "old");
    EXPECT_EQ(TempDir::read(from), "new");
    EXPECT_TRUE(MoveFile(from, dir.file("moved.bin")));
    EXPECT_FALSE(FileExists(from));
    EXPECT_EQ(TempDir::read(dir.file("moved.bin")), "new");
    // Across file systems the file is copied and the original removed.
    const std::string shm = "/dev/shm/tarnwick-move-" + std::to_string(getpid());
    if (FolderExists("/dev/shm")) {
        ASSERT_TRUE(MoveFile(dir.file("moved.bin"), shm)) << ErrorText(errno);
        EXPECT_EQ(TempDir::read(shm), "new");
        EXPECT_FALSE(FileExists(dir.file("moved.bin")));
        EXPECT_TRUE(DeleteFile(shm));
    }
}

TEST(FileOps, AttributesSizesAndFolders) {
    TempDir dir;
    const std::string f = dir.write("f.txt", "12345");
    EXPECT_EQ(FileSize(f), 5);
    EXPECT_EQ(FileSize(dir.file("none")), -1);
    EXPECT_FALSE(IsReadOnly(f));
    ASSERT_TRUE(SetReadOnly(f, true));
    EXPECT_TRUE(IsReadOnly(f));
    chmod(f.c_str(), 0444 | S_ISVTX);
    ASSERT_TRUE(ClearReadOnly(f));
    struct stat st;
    stat(f.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0644u | S_ISVTX);  // only the owner's write bit changed
    EXPECT_TRUE(DeleteFile(f));
    EXPECT_FALSE(DeleteFile(f));

    EXPECT_TRUE(CreateFolders(dir.file("a/b/c/")));
    EXPECT_TRUE(FolderExists(dir.file("a/b/c")));
    EXPECT_FALSE(CreateFolder(dir.file("x/y")));
    EXPECT_FALSE(RemoveFolder(dir.file("a")));  // not empty
    EXPECT_FALSE(DeleteFile(dir.file("a/b/c")));
    EXPECT_TRUE(RemoveFolder(dir.file("a/b/c")));

    EXPECT_EQ(ShortPath(dir.file("a/b")), dir.file("a/b"));
    EXPECT_EQ(ShortPath(dir.file("missing.exe")), "");
    EXPECT_EQ(ShortPath(""), "");

    const std::string before = CurrentFolder();
    ASSERT_TRUE(SetCurrentFolder(dir.file("a")));
    EXPECT_EQ(CurrentFolder(), dir.file("a/"));
    SetCurrentFolder(before);
}

TEST(AtomicWrite, ReplacesWholeOrNotAtAll) {
    TempDir dir;
    const std::string f = dir.write("list.lst", "old content");
    chmod(f.c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomic(f, "new"));
    EXPECT_EQ(TempDir::read(f), "new");
    struct stat st;
    stat(f.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // permissions kept across the replacement

    SetReadOnly(f, true);
    EXPECT_FALSE(WriteFileAtomic(f, "newer"));
    EXPECT_EQ(TempDir::read(f), "new");

    // A write that stores fewer bytes than asked (file size limit) fails; the old file stays.
    SetReadOnly(f, false);
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = {4, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    const bool written = WriteFileAtomic(f, "more than four bytes");
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(TempDir::read(f), "new");

    EXPECT_FALSE(WriteFileAtomic(dir.file("nofolder/x.lst"), "x"));
    EXPECT_EQ(FindFiles(dir.path(), "*", ~0u), (Names{"list.lst"}));  // no temporary left

    // Writing through a link replaces the file it points to and keeps the link.
    symlink("list.lst", dir.file("alias.lst").c_str());
    ASSERT_TRUE(WriteFileAtomic(dir.file("alias.lst"), "via link"));
    EXPECT_EQ(TempDir::read(f), "via link");
    struct stat lst;
    lstat(dir.file("alias.lst").c_str(), &lst);
    EXPECT_TRUE(S_ISLNK(lst.st_mode));
}

TEST(TextLines, EveryLineEndReadCrLfWritten) {
    EXPECT_EQ(SplitTextLines("a\r\nb\nc\rd"), (Names{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitTextLines("a\r\n\r\nb\r\n"), (Names{"a", "", "b"}));
    EXPECT_EQ(SplitTextLines("\n"), (Names{""}));
    EXPECT_TRUE(SplitTextLines("").empty());
    TempDir dir;
    ASSERT_TRUE(WriteTextLines(dir.file("Types.lst"), {"Action", "", "RPG"}));
    EXPECT_EQ(TempDir::read(dir.file("Types.lst")), "Action\r\n\r\nRPG\r\n");
    EXPECT_EQ(*ReadTextLines(dir.file("Types.lst")), (Names{"Action", "", "RPG"}));
    EXPECT_FALSE(ReadTextLines(dir.file("none")).has_value());
    EXPECT_FALSE(ReadWholeFile(dir.path()).has_value());
}

TEST(AtomicWrite, PiecesLaidEndToEndAndReadBackInChunks) {
    TempDir dir;
    // More pieces than one writev batch takes, of uneven sizes, some empty.
    std::vector<std::string> owned;
    std::string expected;
    for (int i = 0; i < 3000; ++i) {
        owned.push_back(std::string(static_cast<std::size_t>(i % 7) * 150, static_cast<char>('a' + i % 26)));
        expected += owned.back();
    }
    std::vector<std::string_view> pieces(owned.begin(), owned.end());
    const std::string f = dir.file("big.lst");
    ASSERT_TRUE(WriteFileAtomicPieces(f, pieces));
    EXPECT_EQ(TempDir::read(f), expected);

    std::string back;
    std::size_t calls = 0;
    ASSERT_TRUE(ReadFileChunks(f, [&](std::string_view c) {
        back.append(c);
        ++calls;
    }));
    EXPECT_EQ(back, expected);
    EXPECT_GT(calls, 1u);  // read in pieces, not one buffer of the file's size
    EXPECT_FALSE(ReadFileChunks(dir.file("missing"), [](std::string_view) {}));
    EXPECT_FALSE(ReadFileChunks(dir.path(), [](std::string_view) {}));

    // A handler that throws (a loader out of memory) leaves no descriptor behind.
    const auto openFiles = [] {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
        return n;
    };
    const std::size_t before = openFiles();
    for (int i = 0; i < 3; ++i)
        EXPECT_THROW(ReadFileChunks(f, [](std::string_view) { throw std::bad_alloc(); }), std::bad_alloc);
    EXPECT_EQ(openFiles(), before);
}

TEST(Reading, OnlyRegularFilesAreReadAndNothingWaits) {
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("ROMS.LST").c_str(), 0644), 0);  // no writer will ever come
    errno = 0;
    EXPECT_FALSE(ReadWholeFile(dir.file("ROMS.LST")).has_value());
    EXPECT_EQ(errno, NotARegularFile);
    EXPECT_EQ(ReadErrorText(NotARegularFile), "Not a regular file");
    EXPECT_FALSE(ReadTextLines(dir.file("ROMS.LST")).has_value());
    EXPECT_FALSE(ReadFileChunks(dir.file("ROMS.LST"), [](std::string_view) {}));
    EXPECT_FALSE(ReadWholeFile("/dev/null").has_value());  // a device, though it would read
    EXPECT_EQ(errno, NotARegularFile);
    EXPECT_FALSE(ReadWholeFile(dir.path()).has_value());
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(ReadErrorText(EISDIR), "Is a directory");

    // What is refused is still there to be found, and a link that points nowhere counts.
    ASSERT_EQ(symlink("missing", dir.file("EMUS.LST").c_str()), 0);
    EXPECT_TRUE(EntryExists(dir.file("ROMS.LST")));
    EXPECT_TRUE(EntryExists(dir.file("EMUS.LST")));
    EXPECT_FALSE(FileExists(dir.file("EMUS.LST")));
    EXPECT_FALSE(EntryExists(dir.file("none")));

    dir.write("Types.lst", "Action\r\n");
    ASSERT_EQ(symlink("Types.lst", dir.file("alias.lst").c_str()), 0);
    EXPECT_EQ(*ReadWholeFile(dir.file("alias.lst")), "Action\r\n");  // a link to a file reads
}

TEST(AtomicWrite, StaleTemporariesOfOneFileAreRemovedAndNothingElse) {
    TempDir dir;
    const std::string list = dir.write("LISTS/ROMS.LST", "records");
    // Left by replacements that were killed: made exactly as a replacement makes them.
    for (const char* name : {"LISTS/.ROMS.LST.XXXXXX", "LISTS/.roms.lst.XXXXXX"}) {
        std::string temp = dir.file(name);
        const int fd = mkstemp(temp.data());
        ASSERT_GE(fd, 0);
        close(fd);
    }
    // Names that only look alike, a folder and a link of the pattern, and another file's temporary.
    for (const char* name : {"LISTS/.ROMS.LST.abc12", "LISTS/.ROMS.LST.abc12-x", "LISTS/ROMS.LST.abc123",
                             "LISTS/.ROMS.LST.ab_123", "LISTS/.EMUS.LST.abc123", "LISTS/x.ROMS.LST.abc123"})
        dir.write(name, "user's");
    mkdir(dir.file("LISTS/.ROMS.LST.dir123").c_str(), 0755);
    ASSERT_EQ(symlink("ROMS.LST", dir.file("LISTS/.ROMS.LST.lnk123").c_str()), 0);

    EXPECT_EQ(RemoveStaleTemporaries(list), 2);
    EXPECT_EQ(
        FindFiles(dir.file("LISTS"), "*", ~0u),
        (Names{".EMUS.LST.abc123", ".ROMS.LST.ab_123", ".ROMS.LST.abc12", ".ROMS.LST.abc12-x",
               ".ROMS.LST.dir123", ".ROMS.LST.lnk123", "ROMS.LST", "ROMS.LST.abc123", "x.ROMS.LST.abc123"}));
    EXPECT_EQ(TempDir::read(list), "records");
    EXPECT_EQ(RemoveStaleTemporaries(dir.file("nowhere/ROMS.LST")), 0);

    // A replacement killed half-way (here by the file size limit's signal) leaves a temporary
    // that the clean-up knows by its name.
    const auto leftovers = [&] {
        return FindFiles(dir.file("LISTS"), ".ROMS.LST.??????", FindPlainFiles | FindHiddenFiles).size();
    };
    const std::size_t before = leftovers();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_DFL);
        struct rlimit small = {4, 4};
        setrlimit(RLIMIT_FSIZE, &small);
        WriteFileAtomic(list, "more than four bytes");
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(leftovers(), before + 1);
    EXPECT_EQ(RemoveStaleTemporaries(list), 1);
    EXPECT_EQ(leftovers(), before);
    EXPECT_EQ(TempDir::read(list), "records");
}
