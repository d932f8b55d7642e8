#include "support/cabinet_decoders.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

static bool ReadMemoryFile(void* context, size_t index, uint8_t* buffer, size_t count, std::string*) {
    auto* cursor = static_cast<std::pair<const std::vector<MemoryFile>*, std::vector<size_t>>*>(context);
    const Bytes& bytes = (*cursor->first)[index].bytes;
    size_t& offset = cursor->second[index];
    std::copy(bytes.begin() + offset, bytes.begin() + offset + count, buffer);
    offset += count;
    return true;
}

void WriteMemoryCabinet(const std::string& path, const std::vector<MemoryFile>& files,
                        const CabinetSettings& settings) {
    std::vector<CabinetEntry> entries;
    for (const MemoryFile& file : files) {
        entries.push_back(CabinetEntry{file.name, (uint32_t)file.bytes.size(), 0x5A21, 0x6000, 0x20});
    }
    std::pair<const std::vector<MemoryFile>*, std::vector<size_t>> cursor(&files, std::vector<size_t>(files.size()));
    CabinetSource source = {ReadMemoryFile, nullptr, &cursor};
    std::vector<uint8_t> cabinet;
    std::string error;
    ASSERT_TRUE(WriteCabinet(entries, settings, source, &cabinet, &error)) << error;
    WriteFile(path, cabinet);
}

const CabinetDecoder kCabinetDecoders[4] = {
    {"cabextract",
     [](const std::string& cabinet, const std::string& folder) {
         return std::vector<std::string>{"cabextract", "-q", "-d", folder, cabinet};
     }},
    {"7zz",
     [](const std::string& cabinet, const std::string& folder) {
         return std::vector<std::string>{"7zz", "x", "-y", "-bd", "-o" + folder, cabinet};
     }},
    {"bsdtar",
     [](const std::string& cabinet, const std::string& folder) {
         return std::vector<std::string>{"bsdtar", "-x", "-f", cabinet, "-C", folder};
     }},
    {"gcab",
     [](const std::string& cabinet, const std::string& folder) {
         return std::vector<std::string>{"gcab", "-x", "-C", folder, cabinet};
     }},
};

static std::vector<std::string> FilesUnder(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) names.push_back(fs::relative(entry.path(), folder).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void ExpectDecoderExtracts(const CabinetDecoder& decoder, const std::string& cabinet, const std::string& folder,
                           const std::vector<MemoryFile>& files) {
    SCOPED_TRACE(decoder.name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::vector<std::string> command = decoder.command(cabinet, folder);
    RunResult run = RunProgram(command[0], std::vector<std::string>(command.begin() + 1, command.end()));
    ASSERT_EQ(0, run.status) << run.out << run.err;
    std::vector<std::string> expectedNames;
    for (const MemoryFile& file : files) {
        std::string name = file.name;
        std::replace(name.begin(), name.end(), '\\', '/');
        expectedNames.push_back(name);
        Bytes got = ReadFile(folder + "/" + name);
        if (got == file.bytes) continue;
        size_t at = 0;
        while (at < got.size() && at < file.bytes.size() && got[at] == file.bytes[at]) at++;
        ADD_FAILURE() << name << ": " << got.size() << " bytes extracted, " << file.bytes.size()
                      << " packed, first difference at " << at;
    }
    std::sort(expectedNames.begin(), expectedNames.end());
    EXPECT_EQ(expectedNames, FilesUnder(folder));
}

void ExpectEveryDecoderExtracts(const std::string& cabinet, const std::string& folder,
                                const std::vector<MemoryFile>& files) {
    for (const CabinetDecoder& decoder : kCabinetDecoders) {
        ExpectDecoderExtracts(decoder, cabinet, folder + "-" + decoder.name, files);
    }
}
