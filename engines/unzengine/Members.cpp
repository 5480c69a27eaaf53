#include "engines/unzengine/Members.h"

#include "engines/EngineApi.h"
#include "platform/Descriptor.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <vector>

namespace {
constexpr uint64_t kUnknown = 0xFFFFFFFFu;  // a 32-bit size that zip64 did not replace
constexpr size_t kInputBlock = 64 * 1024;
constexpr uint16_t kStored = 0, kDeflated = 8;
constexpr uint16_t kDataDescriptorFlag = 0x0008;

int32_t OpenErrorCode(int zipError) {
    switch (zipError) {
        case ZIP_ER_NOPASSWD:
        case ZIP_ER_WRONGPASSWD:
            return ZERR_PASSWORD;
        case ZIP_ER_COMPNOTSUPP:
        case ZIP_ER_ENCRNOTSUPP:
            return ZERR_UNSUPPORTED;
        case ZIP_ER_MEMORY:
            return ZERR_NO_MEMORY;
        default:
            return ZERR_BAD_DATA;
    }
}

// ---- libzip --------------------------------------------------------------------------------

class LibzipStream : public MemberStream {
public:
    explicit LibzipStream(zip_file_t* file) : file_(file) {}
    ~LibzipStream() override { zip_fclose(file_); }

    int64_t read(char* buffer, size_t size) override { return zip_fread(file_, buffer, size); }
    std::string error() const override { return zip_file_strerror(file_); }
    int32_t errorCode() const override {
        return zip_error_code_zip(zip_file_get_error(file_)) == ZIP_ER_WRONGPASSWD ? ZERR_PASSWORD
                                                                                   : ZERR_BAD_DATA;
    }

private:
    zip_file_t* file_;
};

class LibzipStore : public MemberStore {
public:
    LibzipStore(zip_t* archive, const std::optional<std::vector<DirectoryEntry>>& directory)
        : archive_(archive), names_(ReadMemberNames(archive, directory)) {}
    ~LibzipStore() override { zip_discard(archive_); }

    const MemberNames& names() const override { return names_; }

    bool describe(size_t index, MemberInfo& info) const override {
        zip_stat_t st;
        if (zip_stat_index(archive_, index, 0, &st) != 0) return false;
        info.name = names_.listed[index];
        info.size = (st.valid & ZIP_STAT_SIZE) ? int64_t(st.size) : 0;
        info.encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
        info.time = ReadMemberTime(archive_, index, st);
        zip_file_get_external_attributes(archive_, index, 0, &info.host, &info.attributes);
        return true;
    }

    std::unique_ptr<MemberStream> open(size_t index, const std::string& password, int32_t& code,
                                       std::string& why) override {
        zip_file_t* file = password.empty() ? zip_fopen_index(archive_, index, 0)
                                            : zip_fopen_index_encrypted(archive_, index, 0, password.c_str());
        if (file != nullptr) return std::make_unique<LibzipStream>(file);
        zip_error_t* error = zip_get_error(archive_);
        code = OpenErrorCode(zip_error_code_zip(error));
        why = zip_error_strerror(error);
        zip_error_clear(archive_);
        return nullptr;
    }

private:
    zip_t* archive_;
    MemberNames names_;
};

// ---- The component's reader and zlib --------------------------------------------------------

// Where a member's bytes lie and what they must come to: sizes from the central header, else
// from the local one; a size still unknown (0xFFFFFFFF without zip64's field, as some writers
// leave it) is not checked, and deflated data then runs to the end of its stream.
struct DataPlan {
    int64_t start = 0;
    int64_t length = 0;            // bytes that may be read
    std::optional<uint64_t> size;  // expected size once unpacked
};

std::optional<uint64_t> Known(uint64_t value) {
    return value == kUnknown ? std::nullopt : std::optional<uint64_t>(value);
}

class DirectoryStream : public MemberStream {
public:
    DirectoryStream(int fd, const DataPlan& plan, uint16_t method, uint32_t crc)
        : fd_(fd), plan_(plan), method_(method), expectedCrc_(crc), position_(plan.start) {
        if (method_ == kDeflated && inflateInit2(&zs_, -MAX_WBITS) != Z_OK) fail("zlib cannot start");
    }
    ~DirectoryStream() override {
        if (method_ == kDeflated) inflateEnd(&zs_);
    }

    int64_t read(char* buffer, size_t size) override {
        if (!error_.empty()) return -1;
        if (finished_) return checkEnd();
        int64_t got = method_ == kStored ? readStored(buffer, size) : readDeflated(buffer, size);
        if (got < 0) return -1;
        crc_ = crc32(crc_, reinterpret_cast<const Bytef*>(buffer), uInt(got));
        produced_ += uint64_t(got);
        if (got == 0 && finished_) return checkEnd();
        return got;
    }
    std::string error() const override { return error_; }
    int32_t errorCode() const override { return ZERR_BAD_DATA; }

private:
    int64_t fail(const std::string& why) {
        error_ = why;
        return -1;
    }

    int64_t left() const { return plan_.start + plan_.length - position_; }

    int64_t readStored(char* buffer, size_t size) {
        size_t want = size_t(std::min<int64_t>(int64_t(size), left()));
        if (want == 0) {
            finished_ = true;
            return 0;
        }
        if (ReadAllAt(fd_, buffer, want, position_) != ssize_t(want))
            return fail("the archive ends inside the member");
        position_ += int64_t(want);
        return int64_t(want);
    }

    int64_t readDeflated(char* buffer, size_t size) {
        const uInt room = uInt(std::min<size_t>(size, 1u << 30));
        zs_.next_out = reinterpret_cast<Bytef*>(buffer);
        zs_.avail_out = room;
        // Until some bytes come out: a block of input may hold none.
        while (zs_.avail_out == room) {
            if (zs_.avail_in == 0) {
                size_t want = size_t(std::min<int64_t>(int64_t(kInputBlock), left()));
                if (want == 0) return fail("the member's compressed data ends early");
                input_.resize(want);
                if (ReadAllAt(fd_, input_.data(), want, position_) != ssize_t(want))
                    return fail("the archive ends inside the member");
                position_ += int64_t(want);
                zs_.next_in = reinterpret_cast<Bytef*>(input_.data());
                zs_.avail_in = uInt(want);
            }
            int result = inflate(&zs_, Z_NO_FLUSH);
            if (result == Z_STREAM_END) {
                finished_ = true;
                break;
            }
            if (result != Z_OK && result != Z_BUF_ERROR)
                return fail(std::string("damaged compressed data: ") +
                            (zs_.msg != nullptr ? zs_.msg : "inflate failed"));
        }
        return int64_t(room - zs_.avail_out);
    }

    int64_t checkEnd() {
        if (plan_.size && *plan_.size != produced_)
            return fail("the member unpacks to another size than its header says");
        if (crc_ != expectedCrc_) return fail("CRC error: the member is damaged");
        return 0;
    }

    int fd_;
    DataPlan plan_;
    uint16_t method_;
    uint32_t expectedCrc_;
    int64_t position_;
    z_stream zs_{};
    std::vector<char> input_;
    uLong crc_ = crc32(0, nullptr, 0);
    uint64_t produced_ = 0;
    bool finished_ = false;
    std::string error_;
};

class DirectoryStore : public MemberStore {
public:
    DirectoryStore(const std::string& path, std::vector<DirectoryEntry> directory)
        : fd_(OpenDescriptor(path, O_RDONLY)),
          file_(fd_.Get()),
          directory_(std::move(directory)),
          names_(DirectoryNames(directory_)) {}

    const MemberNames& names() const override { return names_; }

    bool describe(size_t index, MemberInfo& info) const override {
        const DirectoryEntry& entry = directory_[index];
        info.name = entry.name;
        info.encrypted = entry.encrypted();
        info.size = int64_t(std::min<uint64_t>(entry.central.values.uncompressedSize, INT64_MAX));
        info.time = DirectoryMemberTime(entry);
        info.host = entry.host();
        info.attributes = entry.externalAttributes();
        return true;
    }

    std::unique_ptr<MemberStream> open(size_t index, const std::string&, int32_t& code,
                                       std::string& why) override {
        const DirectoryEntry& entry = directory_[index];
        uint16_t method = entry.central.Method();
        code = ZERR_UNSUPPORTED;
        if (entry.encrypted()) {
            why = "encrypted, in an archive that libzip cannot open";
            return nullptr;
        }
        if (method != kStored && method != kDeflated) {
            why = "compression method " + std::to_string(method) + " in an archive that libzip cannot open";
            return nullptr;
        }
        code = ZERR_BAD_DATA;
        DataPlan plan;
        if (!planData(entry, plan, why)) return nullptr;
        return std::make_unique<DirectoryStream>(fd_.Get(), plan, method, entry.central.Crc());
    }

private:
    bool planData(const DirectoryEntry& entry, DataPlan& plan, std::string& why) const {
        zipdir::LocalEntry local;
        try {
            local = zipdir::ReadLocalHeader(file_, entry.localHeader);
        } catch (const zipdir::ReadError&) {
            why = "its local header cannot be read";
            return false;
        }
        const zipdir::Zip64Values& central = entry.central.values;
        bool descriptor = (local.Flags() & kDataDescriptorFlag) != 0;
        std::optional<uint64_t> compressed = Known(central.compressedSize);
        if (!compressed && !descriptor) compressed = Known(local.values.compressedSize);
        plan.size = Known(central.uncompressedSize);
        if (!plan.size && !descriptor) plan.size = Known(local.values.uncompressedSize);
        plan.start = local.DataStart();
        int64_t room = std::max<int64_t>(file_.Size() - plan.start, 0);
        if (entry.central.Method() == kStored && !compressed) compressed = plan.size;
        if (entry.central.Method() == kStored && !compressed) {
            why = "a stored member of unknown size";
            return false;
        }
        plan.length = compressed ? int64_t(std::min<uint64_t>(*compressed, uint64_t(room))) : room;
        if (compressed && *compressed > uint64_t(room)) {
            why = "the archive ends inside the member";
            return false;
        }
        return true;
    }

    Descriptor fd_;
    zipdir::ZipFile file_;
    std::vector<DirectoryEntry> directory_;
    MemberNames names_;
};
}  // namespace

std::unique_ptr<MemberStore> LibzipMembers(zip_t* archive,
                                           const std::optional<std::vector<DirectoryEntry>>& directory) {
    return std::make_unique<LibzipStore>(archive, directory);
}

std::unique_ptr<MemberStore> DirectoryMembers(const std::string& path,
                                              std::vector<DirectoryEntry> directory) {
    return std::make_unique<DirectoryStore>(path, std::move(directory));
}
