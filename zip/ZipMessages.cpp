// The message catalogue of the zip component and the formatting of its texts.
#include "zip/ZipArchiver.h"

#include "platform/Process.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

struct ZipText {
    int id;
    const char* text;
};

// Sorted by id. The engine libraries are named by their file names on this platform.
constexpr ZipText kTexts[] = {
    {10101, "Fatal Error in libzipengine.so: abort exception"},
    {10102, "Error - no zip file specified!"},
    {10103, "Requested memory not available"},
    {10104, "Error - passwords do NOT match\nPassword ignored"},
    {10105, "Copying: "},
    {10150, "Error - no add password given"},
    {10151, "Error - no extract password given"},
    {10201, "Seek error reading Zip archive!"},
    {10202, "Unknown error in List() function\n"},
    {10203, "Warning - Error in zip structure!"},
    {10204, "Warning - Garbage at the end of the zipfile!"},
    {10301, "Error - no files to zip!"},
    {10302, "Unattended action not possible without a password"},
    {10303, "AddFreshen or AddUpdate not possible on a spanned archive"},
    {10401, "Error - no files selected for deletion"},
    {10501, "Fatal Error in libunzengine.so: abort exception"},
    {10502, "Warning - Unattended Extract: possible not all files extracted"},
    {10503, "Error - cannot extract into the folder: "},
    {10601, "ZIP DLL Loaded"},
    {10602, "ZipEngineExec function not found in libzipengine.so!"},
    {10603, "GetZipEngineVersion function not found in libzipengine.so!"},
    {10604, "libzipengine.so not found!"},
    {10605, "libzipengine.so is too old, version: "},
    {10701, "UNZENGINE Loaded!"},
    {10702, "UnzEngineExec function not found in libunzengine.so!"},
    {10703, "GetUnzEngineVersion function not found in libunzengine.so!"},
    {10704, "libunzengine.so not found!"},
    {10705, "libunzengine.so is too old, version: "},
    {10801, "Error - On or more of the 4 property strings mentioned below exceeds 255 characters!"},
    {10802, "Error - ZIPSFX.BIN not found!"},
    {10803, "Error: input file is not a zip file"},
    {10901, "Error - no .EXE file specified"},
    {10902, "Error: input file is not an .EXE file"},
    {10903, "Error determining the type of SFX archive"},
    {11001, "Input file does not exist"},
    {11002, "Zip file could not be opened"},
    {11003, "Not a valid drive: %s"},
    {11004, "Drive %s is NOT defined"},
    {11005, "Volume label could not be set"},
    {11006, "Not enough memory to display MsgBox"},
    {11007, "User canceled operation"},
    {11008, "Seek error in input file"},
    {11009, "Creation of output file failed"},
    {11010, "Write error in output file"},
    {11011, "Error while reading the End Of Central Directory"},
    {11012, "Error while reading a local header"},
    {11013, "Error while reading a central header"},
    {11014, "A local header signature is wrong"},
    {11015, "A central header signature is wrong"},
    {11016, "Error while reading a local file name"},
    {11017, "Error while reading a central file name"},
    {11018, "Error while reading a local extra field"},
    {11019, "Error while reading a central extra field"},
    {11020, "Error while reading/writing a data descriptor area"},
    {11021, "Error while reading zipped data"},
    {11022, "Error while reading a file comment"},
    {11023, "Error while reading the archive comment"},
    {11024, "UnKnown error in function ReadSpan(), WriteSpan(), Rename() or CopyZippedFiles()\n"},
    {11025, "Unattended disk spanning not implemented"},
    {11026, "A local header not found in internal structure"},
    {11027, "Temporary file could not be created"},
    {11028, "Error while writing a local header"},
    {11029, "Error while writing a central header"},
    {11030, "Error while writing the End Of Central Directory"},
    {11031, "Error while reading a Extended Local signature"},
    {11032, "This disk has not enough free space available"},
    {11033, "Please insert last disk"},
    {11034, "Please insert disk volume %.1d of %.1d"},
    {11035, "\nin drive: %s"},
    {11036, "This archive is not a valid Zip archive"},
    {11037, "This is the first disk in a backup set,\nplease insert the last disk of this set"},
    {11038, "This is the %dth disk in a backup set,\nplease insert the last disk of this set"},
    {11039, "There is already a file %s\nDo you want to overwrite this file"},
    {11040, "ATTENTION: This is previous disk no %d!!!\nAre you sure you want to overwrite the contents"},
    {11041, "Error - Self extracting archives(.exe) can not be spanned"},
    {11042, "Error while copying a filename of a CEH structure"},
    {11043, "Seek error while skipping a EOC structure"},
    {11044, "Error while copying the zip archive comment"},
    {11045, "This is the first file in a backup set,\nplease choose the last file of this set"},
    {11046, "Please insert disk volume %.1d"},
    {11047, "Central directory"},
};

// Length of the printf conversion at text[i] ('%' included) when it is %s, %d or %.1d; 0 else.
std::size_t ConversionLength(const std::string& text, std::size_t i) {
    if (text.compare(i, 2, "%s") == 0 || text.compare(i, 2, "%d") == 0) return 2;
    if (text.compare(i, 4, "%.1d") == 0) return 4;
    return 0;
}

}  // namespace

std::string LoadZipStr(int id) {
    auto it = std::lower_bound(std::begin(kTexts), std::end(kTexts), id,
                               [](const ZipText& t, int key) { return t.id < key; });
    if (it == std::end(kTexts) || it->id != id) return {};
    return it->text;
}

std::string ZipMessageText(int id) {
    std::string text = LoadZipStr(id);
    if (text.empty())
        text = "ZipMessages.res is probably not bound to the executable\nMissing String ID is: " +
               std::to_string(id);
    return text;
}

std::string FormatZipStr(int id, const std::vector<std::string>& values) {
    const std::string format = ZipMessageText(id);
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        std::size_t len = format[i] == '%' ? ConversionLength(format, i) : 0;
        if (len == 0) {
            out += format[i];
            continue;
        }
        if (next < values.size()) out += values[next];
        ++next;
        i += len - 1;
    }
    return out;
}

std::string FormatZipStr(int id, std::int64_t value) {
    return FormatZipStr(id, std::vector<std::string>{std::to_string(value)});
}

std::string FormatZipStr(int id, std::int64_t first, std::int64_t second) {
    return FormatZipStr(id, std::vector<std::string>{std::to_string(first), std::to_string(second)});
}

std::string FormatZipStr(int id, const std::string& value) {
    return FormatZipStr(id, std::vector<std::string>{value});
}

EZipArchiver::EZipArchiver(int id, bool display) : Message(ZipMessageText(id)), DisplayMsg(display), Id(id) {}

EZipArchiver::EZipArchiver(int id, std::int64_t value)
    : Message(FormatZipStr(id, value)), DisplayMsg(true), Id(id) {}

EZipArchiver::EZipArchiver(int id, const std::string& value)
    : Message(FormatZipStr(id, value)), DisplayMsg(true), Id(id) {}

namespace {

int MessageOf(zipdir::Fault fault) {
    switch (fault) {
        case zipdir::Fault::ReadEnd:
            return ZipMsg::ReadEndOfCentral;
        case zipdir::Fault::CentralHeader:
            return ZipMsg::ReadCentralHeader;
        case zipdir::Fault::CentralSignature:
            return ZipMsg::CentralSignature;
        case zipdir::Fault::CentralName:
            return ZipMsg::ReadCentralName;
        case zipdir::Fault::CentralExtra:
            return ZipMsg::ReadCentralExtra;
        case zipdir::Fault::CentralComment:
            return ZipMsg::ReadFileComment;
        case zipdir::Fault::LocalHeader:
            return ZipMsg::ReadLocalHeader;
        case zipdir::Fault::LocalSignature:
            return ZipMsg::LocalSignature;
        case zipdir::Fault::LocalName:
            return ZipMsg::ReadLocalName;
        case zipdir::Fault::LocalExtra:
            return ZipMsg::ReadLocalExtra;
    }
    return ZipMsg::ListUnknown;
}

}  // namespace

EZipArchiver::EZipArchiver(const zipdir::ReadError& e) : EZipArchiver(MessageOf(e.fault), true) {}

EZipArchiver EZipArchiver::Failed(int id, int error) {
    EZipArchiver e(id, true);
    if (error != 0) e.Reason = ErrorText(error);
    return e;
}

EZipArchiver EZipArchiver::WithText(int id, std::string text, bool display) {
    EZipArchiver e;
    e.Message = std::move(text);
    e.DisplayMsg = display;
    e.Id = id;
    return e;
}
