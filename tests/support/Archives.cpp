#include "Archives.h"

#include "TempDir.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace archives {

namespace {

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Stem(const std::string& name) {
    return fs::path(name).stem().string();
}

}  // namespace

void WriteFiles(const std::string& folder, const std::vector<FileSpec>& files) {
    for (const FileSpec& f : files) {
        fs::path p = fs::path(folder) / f.name;
        fs::create_directories(p.parent_path());
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(f.data.data(), static_cast<std::streamsize>(f.data.size()));
        if (!out) throw std::runtime_error("cannot write " + p.string());
    }
}

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

int RunInfoZip(const std::string& folder, const std::string& archive, const std::string& options,
               const std::vector<std::string>& names, const std::string& comment) {
    std::string cmd = "cd " + ShellQuote(folder) + " && ";
    if (!comment.empty()) cmd += "printf '%s' " + ShellQuote(comment) + " | ";
    cmd += "zip -q " + options + (comment.empty() ? "" : " -z") + " " + ShellQuote(archive);
    for (const std::string& n : names) cmd += " " + ShellQuote(n);
    cmd += " >/dev/null 2>&1";
    return RunShell(cmd);
}

std::string InfoZipArchive(const TempDir& dir, const std::string& archive, const std::vector<FileSpec>& files,
                           const std::string& options, const std::string& comment) {
    std::string src = dir.file(Stem(archive) + ".src");
    WriteFiles(src, files);
    std::vector<std::string> names;
    for (const FileSpec& f : files) names.push_back(f.name);
    std::string full = dir.file(archive);
    int rc = RunInfoZip(src, full, options, names, comment);
    if (rc != 0) throw std::runtime_error("zip failed with status " + std::to_string(rc));
    return full;
}

std::string PythonZipArchive(const TempDir& dir, const std::string& archive,
                             const std::vector<PyMember>& members, const std::string& comment) {
    std::ostringstream py;
    py << "import zipfile\n"
          "class Raw(zipfile.ZipInfo):\n"
          "    __slots__ = ('raw', 'extra_flags')\n"
          "    def _encodeFilenameFlags(self):\n"
          "        return self.raw, self.flag_bits | self.extra_flags\n"
          "def add(z, name, data, system, version, comment, deflate, flags):\n"
          "    info = Raw(name.decode('latin-1'), (2020, 5, 17, 12, 30, 0))\n"
          "    info.raw = name\n"
          "    info.create_system = system\n"
          "    info.create_version = version\n"
          "    info.comment = comment\n"
          "    info.compress_type = zipfile.ZIP_DEFLATED if deflate else zipfile.ZIP_STORED\n"
          "    info.extra_flags = flags\n"
          "    z.writestr(info, data)\n"
       << "with zipfile.ZipFile("
       << "bytes.fromhex('" << Hex(dir.file(archive)) << "').decode(), 'w') as z:\n";
    for (const PyMember& m : members)
        py << "    add(z, bytes.fromhex('" << Hex(m.name) << "'), bytes.fromhex('" << Hex(m.data) << "'), "
           << m.createSystem << ", " << m.createVersion << ", bytes.fromhex('" << Hex(m.comment) << "'), "
           << (m.deflate ? "True" : "False") << ", " << m.flagBits << ")\n";
    py << "    z.comment = bytes.fromhex('" << Hex(comment) << "')\n";
    std::string script = dir.write(Stem(archive) + ".make.py", py.str());
    if (RunShell("python3 " + ShellQuote(script)) != 0) throw std::runtime_error("python zipfile failed");
    return dir.file(archive);
}

int UnzipTest(const std::string& archive) {
    return RunShell("unzip -tqq " + ShellQuote(archive) + " >/dev/null 2>&1");
}

int PythonZipTest(const std::string& archive) {
    // zipfile -t prints "Done testing" even for a bad CRC only in some versions: check testzip().
    return RunShell(
               "python3 -c \"import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not "
               "None)\" " +
               ShellQuote(archive) + " >/dev/null 2>&1") == 0 &&
                   RunShell("python3 -m zipfile -t " + ShellQuote(archive) + " >/dev/null 2>&1") == 0
               ? 0
               : 1;
}

std::vector<std::string> UnzipNames(const std::string& archive) {
    std::vector<std::string> names;
    std::istringstream in(ShellOutput("unzip -Z1 " + ShellQuote(archive) + " 2>/dev/null"));
    for (std::string line; std::getline(in, line);) names.push_back(line);
    return names;
}

std::vector<ListedMember> UnzipListing(const std::string& archive) {
    // A heading, a rule, "<length>  <date> <time>   <name>" per member, a rule, the totals.
    std::istringstream in(ShellOutput("unzip -l " + ShellQuote(archive) + " 2>/dev/null"));
    std::vector<ListedMember> members;
    int rules = 0;
    for (std::string line; std::getline(in, line) && rules < 2;) {
        if (line.rfind("---", 0) == 0) {
            ++rules;
            continue;
        }
        if (rules != 1) continue;
        std::istringstream fields(line);
        ListedMember m;
        std::string date, time;
        fields >> m.size >> date >> time;
        const std::size_t at = line.find(time) + time.size() + 3;
        if (!fields || at > line.size()) return {};
        m.name = line.substr(at);
        members.push_back(m);
    }
    return members;
}

void Put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void Put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void Put64(std::string& out, std::uint64_t v) {
    Put32(out, static_cast<std::uint32_t>(v));
    Put32(out, static_cast<std::uint32_t>(v >> 32));
}

std::uint32_t Crc32(const std::string& data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

namespace {

// A stored member's header fields from "version needed" to the name length.
void PutStoredFields(std::string& out, std::uint16_t versionNeeded, std::uint16_t flags, std::uint32_t crc,
                     std::uint32_t size, std::size_t nameLength) {
    Put16(out, versionNeeded);
    Put16(out, flags);
    Put16(out, 0);
    Put16(out, 0x6000);  // 12:00
    Put16(out, 0x50B1);  // 2020-05-17
    Put32(out, crc);
    Put32(out, size);
    Put32(out, size);
    Put16(out, static_cast<std::uint16_t>(nameLength));
}

// The fields local and central headers share.
void PutSharedFields(std::string& zip, const CraftedZip::Entry& e) {
    PutStoredFields(zip, 10, e.flags, Crc32(e.data), static_cast<std::uint32_t>(e.data.size()),
                    e.name.size());
}

}  // namespace

CraftedZip::Entry& CraftedZip::Add(const std::string& name, const std::string& data, int host) {
    Entry e;
    e.name = name;
    e.data = data;
    e.versionMadeBy = static_cast<std::uint16_t>((host << 8) | 20);
    entries.push_back(e);
    return entries.back();
}

std::string CraftedZip::Build(std::size_t* centralStart) const {
    std::string zip;
    std::vector<std::uint32_t> offsets;
    const std::uint32_t shift = adjustOffsets ? static_cast<std::uint32_t>(prefix.size()) : 0;
    for (const Entry& e : entries) {
        offsets.push_back(e.keepOffset ? e.localOffset : static_cast<std::uint32_t>(zip.size()) + shift);
        Put32(zip, 0x04034b50);
        PutSharedFields(zip, e);
        Put16(zip, 0);
        zip += e.name;
        zip += e.data;
    }
    const std::size_t cdStart = zip.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        Put32(zip, 0x02014b50);
        Put16(zip, e.versionMadeBy);
        PutSharedFields(zip, e);
        Put16(zip, static_cast<std::uint16_t>(e.extra.size()));
        Put16(zip, static_cast<std::uint16_t>(e.comment.size()));
        Put16(zip, 0);
        Put16(zip, 0);
        Put32(zip, 0x81A40000u);
        Put32(zip, offsets[i]);
        zip += e.name;
        zip += e.extra;
        zip += e.comment;
    }
    const std::size_t cdSize = zip.size() - cdStart;
    Put32(zip, 0x06054b50);
    Put16(zip, thisDisk);
    Put16(zip, centralDisk);
    std::uint16_t count = static_cast<std::uint16_t>(totalEntries >= 0 ? totalEntries : entries.size());
    Put16(zip, count);
    Put16(zip, count);
    Put32(zip,
          static_cast<std::uint32_t>(centralSize >= 0 ? centralSize : static_cast<std::int64_t>(cdSize)));
    Put32(zip, static_cast<std::uint32_t>(centralOffset >= 0 ? centralOffset
                                                             : static_cast<std::int64_t>(cdStart + shift)));
    Put16(zip, static_cast<std::uint16_t>(
                   commentLength >= 0 ? commentLength : static_cast<std::int64_t>(archiveComment.size())));
    zip += archiveComment;
    if (centralStart) *centralStart = prefix.size() + cdStart;
    return prefix + zip;
}

namespace {

// The CRC of n zero bytes (n a multiple of 1 MiB), by combining CRCs of doubling runs.
std::uint32_t ZerosCrc32(std::uint64_t n) {
    const std::string mib(1 << 20, '\0');
    uLong run = crc32(0, reinterpret_cast<const Bytef*>(mib.data()), static_cast<uInt>(mib.size()));
    z_off_t runLength = 1 << 20;
    uLong crc = 0;
    for (std::uint64_t units = n >> 20; units != 0; units >>= 1) {
        if (units & 1) crc = crc32_combine(crc, run, runLength);
        run = crc32_combine(run, run, runLength);
        runLength *= 2;
    }
    return static_cast<std::uint32_t>(crc);
}

void WriteAt(int fd, std::uint64_t at, const std::string& bytes) {
    if (pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at)) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("cannot write the sparse archive");
}

}  // namespace

void WriteSparseZip64(const std::string& path, std::uint64_t zeroSize) {
    const std::string big = "dvd.iso", small = "readme.txt", text = "hello";
    const std::uint32_t bigCrc = ZerosCrc32(zeroSize), smallCrc = Crc32(text);
    std::string sizes;  // zip64 extra: both sizes of the big member
    Put16(sizes, 1);
    Put16(sizes, 16);
    Put64(sizes, zeroSize);
    Put64(sizes, zeroSize);

    std::string head;
    Put32(head, 0x04034b50);
    PutStoredFields(head, 45, 0, bigCrc, 0xFFFFFFFF, big.size());
    Put16(head, static_cast<std::uint16_t>(sizes.size()));
    head += big + sizes;
    const std::uint64_t smallOffset = head.size() + zeroSize;

    std::string tail;
    Put32(tail, 0x04034b50);
    PutStoredFields(tail, 45, 0, smallCrc, static_cast<std::uint32_t>(text.size()), small.size());
    Put16(tail, 0);
    tail += small + text;
    const std::uint64_t centralStart = smallOffset + tail.size();
    std::string offset;  // zip64 extra: the small member's header offset
    Put16(offset, 1);
    Put16(offset, 8);
    Put64(offset, smallOffset);
    auto central = [&](const std::string& name, std::uint32_t crc, std::uint32_t size, std::uint32_t at,
                       const std::string& extra) {
        Put32(tail, 0x02014b50);
        Put16(tail, 0x032D);  // Unix, 4.5
        PutStoredFields(tail, 45, 0, crc, size, name.size());
        Put16(tail, static_cast<std::uint16_t>(extra.size()));
        Put32(tail, 0);  // comment length, disk
        Put16(tail, 0);
        Put32(tail, 0x81A40000u);
        Put32(tail, at);
        tail += name + extra;
    };
    central(big, bigCrc, 0xFFFFFFFF, 0, sizes);
    central(small, smallCrc, static_cast<std::uint32_t>(text.size()), 0xFFFFFFFF, offset);
    const std::uint64_t zip64End = smallOffset + tail.size();
    const std::uint64_t centralSize = zip64End - centralStart;
    Put32(tail, 0x06064b50);
    Put64(tail, 44);
    Put16(tail, 0x032D);
    Put16(tail, 45);
    Put32(tail, 0);
    Put32(tail, 0);
    Put64(tail, 2);
    Put64(tail, 2);
    Put64(tail, centralSize);
    Put64(tail, centralStart);
    Put32(tail, 0x07064b50);
    Put32(tail, 0);
    Put64(tail, zip64End);
    Put32(tail, 1);
    Put32(tail, 0x06054b50);
    Put32(tail, 0);
    Put16(tail, 2);
    Put16(tail, 2);
    Put32(tail, static_cast<std::uint32_t>(centralSize));
    Put32(tail, 0xFFFFFFFF);
    Put16(tail, 0);

    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + path);
    try {
        WriteAt(fd, 0, head);
        WriteAt(fd, smallOffset, tail);
    } catch (...) {
        close(fd);
        throw;
    }
    close(fd);
}

std::string EmptyArchive() {
    CraftedZip z;
    return z.Build();
}

}  // namespace archives
