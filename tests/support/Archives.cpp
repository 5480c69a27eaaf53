#include "Archives.h"

#include "TempDir.h"

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

std::string Stem(const std::string& name) { return fs::path(name).stem().string(); }

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
        if (c == '\'') out += "'\\''";
        else out += c;
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

std::string PythonZipArchive(const TempDir& dir, const std::string& archive, const std::vector<PyMember>& members,
                             const std::string& comment) {
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
       << "with zipfile.ZipFile(" << "bytes.fromhex('" << Hex(dir.file(archive)) << "').decode(), 'w') as z:\n";
    for (const PyMember& m : members)
        py << "    add(z, bytes.fromhex('" << Hex(m.name) << "'), bytes.fromhex('" << Hex(m.data) << "'), "
           << m.createSystem << ", " << m.createVersion << ", bytes.fromhex('" << Hex(m.comment) << "'), "
           << (m.deflate ? "True" : "False") << ", " << m.flagBits << ")\n";
    py << "    z.comment = bytes.fromhex('" << Hex(comment) << "')\n";
    std::string script = dir.write(Stem(archive) + ".make.py", py.str());
    if (RunShell("python3 " + ShellQuote(script)) != 0) throw std::runtime_error("python zipfile failed");
    return dir.file(archive);
}

int UnzipTest(const std::string& archive) { return RunShell("unzip -tqq " + ShellQuote(archive) + " >/dev/null 2>&1"); }

int PythonZipTest(const std::string& archive) {
    // zipfile -t prints "Done testing" even for a bad CRC only in some versions: check testzip().
    return RunShell("python3 -c \"import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)\" " +
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

void Put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void Put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
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

// The fields local and central headers share: version needed, flags, method (stored), time,
// date, CRC, both sizes and the name length.
void PutSharedFields(std::string& zip, const CraftedZip::Entry& e) {
    Put16(zip, 10);
    Put16(zip, e.flags);
    Put16(zip, 0);
    Put16(zip, 0x6000);
    Put16(zip, 0x50B1);
    Put32(zip, Crc32(e.data));
    Put32(zip, static_cast<std::uint32_t>(e.data.size()));
    Put32(zip, static_cast<std::uint32_t>(e.data.size()));
    Put16(zip, static_cast<std::uint16_t>(e.name.size()));
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
    Put32(zip, static_cast<std::uint32_t>(centralSize >= 0 ? centralSize : static_cast<std::int64_t>(cdSize)));
    Put32(zip, static_cast<std::uint32_t>(centralOffset >= 0 ? centralOffset : static_cast<std::int64_t>(cdStart + shift)));
    Put16(zip, static_cast<std::uint16_t>(commentLength >= 0 ? commentLength : static_cast<std::int64_t>(archiveComment.size())));
    zip += archiveComment;
    if (centralStart) *centralStart = prefix.size() + cdStart;
    return prefix + zip;
}

std::string EmptyArchive() {
    CraftedZip z;
    return z.Build();
}

}  // namespace archives
