// The photo and audio readers on files made to exhaust them: size fields that
// claim gigabytes, chunks that really hold them (sparse files), IFDs that
// point past the end or back at themselves. Each file is read in a child
// process whose address space may grow by 64 MiB only, where a failed
// allocation ends the process rather than being caught by the reader.

#include "tags/audiotags.h"
#include "tags/photodate.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorbit {
namespace {

using namespace std::string_literals;
using testing::TempFolder;

constexpr std::int64_t GiB = 1024 * 1024 * 1024;

std::string little(std::uint64_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>(value >> (8 * i));
    }
    return out;
}

std::string big(std::uint64_t value, int bytes)
{
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) {
        out += static_cast<char>(value >> (8 * i));
    }
    return out;
}

std::string tiffEntry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t field)
{
    return little(tag, 2) + little(type, 2) + little(count, 4) + little(field, 4);
}

// Little-endian IFD0 (with `ifd0` text entries) and an Exif IFD (with `exif`
// ones) laid out from offset `at`, their texts after them.
std::string tiffIfds(std::uint32_t at, const std::vector<std::pair<std::uint16_t, std::string>>& ifd0,
                     const std::vector<std::pair<std::uint16_t, std::string>>& exif)
{
    const std::uint32_t exifAt = at + 2 + 12 * static_cast<std::uint32_t>(ifd0.size() + 1) + 4;
    std::uint32_t valueAt = exifAt + 2 + 12 * static_cast<std::uint32_t>(exif.size()) + 4;
    std::string ifds;
    std::string values;
    for (const auto* entries : {&ifd0, &exif}) {
        ifds += little(entries->size() + (entries == &ifd0 ? 1 : 0), 2);
        for (const auto& [tag, text] : *entries) {
            ifds += tiffEntry(tag, 2, static_cast<std::uint32_t>(text.size() + 1), valueAt + values.size());
            values += text + '\0';
        }
        ifds += (entries == &ifd0 ? tiffEntry(0x8769, 4, 1, exifAt) : "") + little(0, 4);
    }
    return ifds + values;
}

// Exif data as JPEG, PNG and WebP hold it: a TIFF structure with a date.
const std::string exifTiff = "II*\0"s + little(8, 4) + tiffIfds(8, {}, {{0x9003, "2026:07:14 09:31:22"}});

std::string pngChunk(const std::string& type, const std::string& data)
{
    return big(data.size(), 4) + type + data + "\0\0\0\0"s;
}

std::string box(const std::string& type, const std::string& content)
{
    return big(8 + content.size(), 4) + type + content;
}

// An HEIF file's head up to its image data, whose Exif item of `length`
// bytes starts that data.
std::string heifHead(std::uint32_t length)
{
    const std::string ftyp = box("ftyp", "heic\0\0\0\0mif1heic"s);
    const std::string hdlr = box("hdlr", "\0\0\0\0\0\0\0\0pict"s + std::string(13, '\0'));
    const std::string iinf
        = box("iinf", "\0\0\0\0"s + big(1, 2) + box("infe", "\2\0\0\0"s + big(1, 2) + big(0, 2) + "Exif\0"s));
    const auto ilocWith = [&](std::uint32_t offset) {
        return box("iloc",
                   "\0\0\0\0\x44\0"s + big(1, 2) + big(1, 2) + big(0, 2) + big(1, 2) + big(offset, 4) + big(length, 4));
    };
    const std::size_t metaLength = box("meta", "\0\0\0\0"s + hdlr + iinf + ilocWith(0)).size();
    const auto dataAt = static_cast<std::uint32_t>(ftyp.size() + metaLength + 8);
    return ftyp + box("meta", "\0\0\0\0"s + hdlr + iinf + ilocWith(dataAt)) + big(8 + std::uint64_t(length), 4)
        + "mdat";
}

// A file of `size` bytes (those of `head` and `tail` when 0) that holds
// `head` at its start and `tail` at its end, with a hole between them.
struct HostileFile {
    std::string name;
    std::string head;
    std::int64_t size = 0;
    std::string tail = {};
    std::string expected = {}; // what is read, as shown(); empty for nothing
};

std::string shown(const std::optional<PhotoMetadata>& read)
{
    return read ? read->taken + "|" + read->make + "|" + read->model : "";
}

std::string shown(const std::optional<CommonTags>& read)
{
    return read ? read->artist + "|" + read->title + "|" + read->album + "|" + read->year + "|" + read->track : "";
}

// Reads `name` in a child process whose address space may grow by 64 MiB;
// "out of memory" when an allocation failed there, "crashed" when it died.
std::pair<std::string, double> readInChild(const files::Folder& folder, const std::string& name)
{
    int fds[2];
    if (pipe(fds) != 0) {
        return {"no pipe", 0};
    }
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const auto limit = static_cast<rlim_t>(pages * sysconf(_SC_PAGESIZE) + 64 * 1024 * 1024);
        const rlimit addressSpace{limit, limit};
        setrlimit(RLIMIT_AS, &addressSpace);
        std::set_new_handler([] { _exit(3); });
        const auto start = std::chrono::steady_clock::now();
        const std::string read
            = hasAudioTagExtension(name) ? shown(readAudioTags(folder, name)) : shown(readPhotoMetadata(folder, name));
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const std::string report = std::to_string(seconds) + "\n" + read;
        _exit(write(fds[1], report.data(), report.size()) == static_cast<ssize_t>(report.size()) ? 0 : 1);
    }
    close(fds[1]);
    std::string report;
    char buffer[256];
    for (ssize_t got; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        report.append(buffer, static_cast<std::size_t>(got));
    }
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return {WIFEXITED(status) && WEXITSTATUS(status) == 3 ? "out of memory" : "crashed", 0};
    }
    const std::size_t lineEnd = report.find('\n');
    return {report.substr(lineEnd + 1), std::stod(report.substr(0, lineEnd))};
}

TEST(HostileMediaTest, EachFileCostsAtMost64MiBAndASecond)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#endif
    const std::string date = "2026:07:14 09:31:22";
    const std::string modified = "2024:12:31 23:59:59";
    const std::string ilst = box("ilst", big(0xFFFFFFF0, 4) + "\xA9nam" + box("data", "\0\0\0\1\0\0\0\0x"s));
    const std::string hdlr = box("hdlr", std::string(8, '\0') + "mdirappl" + std::string(9, '\0'));
    // WMA: a header whose extension holds three metadata objects of 65,535 empty attributes each.
    std::string metadataObjects;
    for (int i = 0; i < 3; ++i) {
        metadataObjects += "\xEA\xCB\xF8\xC5\xAF\x5B\x77\x48\x84\x67\xAA\x8C\x44\xFA\x4C\xCA"s
            + little(26 + 12 * 0xFFFF, 8) + little(0xFFFF, 2) + std::string(12 * 0xFFFF, '\0');
    }
    const std::string headerExtension = "\xB5\x03\xBF\x5F\x2E\xA9\xCF\x11\x8E\xE3\x00\xC0\x0C\x20\x53\x65"s
        + little(46 + metadataObjects.size(), 8) + std::string(18, '\0') + little(metadataObjects.size(), 4)
        + metadataObjects;
    const std::string jpegIcc = "\xFF\xE2"s + big(0xFFFF, 2) + "ICC_PROFILE\0\1\xFF"s + std::string(0xFFFF - 16, '\0');
    std::string manyIccSegments;
    for (int i = 0; i < 400; ++i) {
        manyIccSegments += jpegIcc;
    }
    const std::string pngHead = "\x89PNG\r\n\x1A\n"s + pngChunk("IHDR", big(16, 4) + big(16, 4) + "\x08\0\0\0\0"s);
    const std::string webpHead = "RIFF"s + little(GiB, 4) + "WEBPVP8X" + little(10, 4) + "\x08"s + std::string(9, '\0')
        + "EXIF" + little(exifTiff.size(), 4) + exifTiff + std::string(exifTiff.size() % 2, '\0');
    const std::string sparseTiffIfds = tiffIfds(static_cast<std::uint32_t>(3 * GiB - 512),
                                                {{0x010F, "Canon"}, {0x0110, "Canon EOS 5D"}}, {{0x9003, date}});

    const std::vector<HostileFile> table = {
        // TagLib asked for the 4 GB the item claims; it gets what the file holds.
        {"item claims 4 GB.m4a",
         box("ftyp", "M4A \0\0\0\0M4A isom"s) + box("moov", box("udta", box("meta", "\0\0\0\0"s + hdlr + ilst))), 0, "",
         "|x|||"},
        // TagLib keeps all the attributes each object claims.
        {"three objects of 65,535 attributes.wma",
         "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"s + little(30 + headerExtension.size(), 8)
             + little(1, 4) + "\x01\x02" + headerExtension},
        {"IFD0 past the end.tif", "II*\0"s + little(0xFFFFFF00, 4)},
        // IFD0's Exif pointer and next IFD lead back to IFD0.
        {"IFD loop.tif",
         "II*\0"s + little(8, 4) + little(2, 2) + tiffEntry(0x0132, 2, 20, 38) + tiffEntry(0x8769, 4, 1, 8)
             + little(8, 4) + modified + '\0',
         0, "", modified + "||"},
        // A make of 4 G characters, and an Exif IFD of 65,535 entries.
        {"claims 4 G values.tif",
         "II*\0"s + little(8, 4) + little(3, 2) + tiffEntry(0x010F, 2, 0xFFFFFFFF, 8) + tiffEntry(0x0132, 2, 20, 50)
             + tiffEntry(0x8769, 4, 1, 70) + little(0, 4) + modified + '\0' + little(0xFFFF, 2),
         0, "", modified + "||"},
        // libtiff's layout: the image first, the IFDs at the end of 3 GB.
        {"3 GB, IFDs at the end.tif", "II*\0"s + little(3 * GiB - 512, 4), 3 * GiB,
         sparseTiffIfds + std::string(512 - sparseTiffIfds.size(), '\0'), date + "|Canon|Canon EOS 5D"},
        {"segment past the end.jpg",
         "\xFF\xD8\xFF\xE1\xFF\xFF"
         "Exif\0\0II*\0"s},
        // Exiv2 copies the ICC profile gathered so far at each of its segments.
        {"400 ICC segments.jpg",
         "\xFF\xD8\xFF\xE1"s + big(8 + exifTiff.size(), 2) + "Exif\0\0"s + exifTiff + manyIccSegments + "\xFF\xD9"},
        {"chunk claims 4 GB.png", "\x89PNG\r\n\x1A\n"s + big(0xFFFFFFF0, 4) + "tEXtComment"},
        {"text chunk of 1 GB.png", pngHead + pngChunk("eXIf", exifTiff) + big(GiB, 4) + "tEXt",
         static_cast<std::int64_t>(pngHead.size() + pngChunk("eXIf", exifTiff).size()) + 8 + GiB + 16,
         "\0\0\0\0"s + pngChunk("IEND", "")},
        {"1 GB of empty chunks.png", pngHead, GiB},
        {"chunk claims 4 GB.webp", "RIFF"s + little(100, 4) + "WEBPVP8 " + little(0xFFFFFFF0, 4)},
        {"image chunk of 1 GB.webp", webpHead + "VP8 " + little(GiB - webpHead.size(), 4), GiB + 8},
        {"box claims 4 GB.heic", box("ftyp", "heic\0\0\0\0mif1heic"s) + big(0xFFFFFFF0, 4) + "meta\0\0\0\0"s},
        {"Exif item of 1 GB.heic", heifHead(GiB), static_cast<std::int64_t>(heifHead(GiB).size()) + GiB},
    };
    const TempFolder temp;
    for (const HostileFile& file : table) {
        std::ofstream(temp / file.name, std::ios::binary) << file.head;
        if (file.size > 0) {
            std::filesystem::resize_file(temp / file.name, static_cast<std::uintmax_t>(file.size));
            std::fstream(temp / file.name, std::ios::binary | std::ios::in | std::ios::out)
                .seekp(file.size - static_cast<std::int64_t>(file.tail.size()))
                .write(file.tail.data(), static_cast<std::streamsize>(file.tail.size()));
        }
    }
    const files::Folder folder(temp.path());
    for (const HostileFile& file : table) {
        const auto [read, seconds] = readInChild(folder, file.name);
        EXPECT_EQ(read, file.expected) << file.name;
        EXPECT_LT(seconds, 1.0) << file.name;
    }
}

} // namespace
} // namespace quorbit
