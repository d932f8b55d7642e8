#include "support/tool_test.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

extern char** environ;

const char* const kStubPath = VUV_STUB_PATH;

static std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workingFolder) {
    std::string outPath = std::filesystem::temp_directory_path() / ("vuvpack-test-" + std::to_string(getpid()));
    std::string errPath = outPath + ".err";
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!workingFolder.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
    pid_t pid = 0;
    RunResult result{-1, "", ""};
    int spawned = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "can't start " << program;
        return result;
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    result.out = ReadText(outPath);
    result.err = ReadText(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return result;
}

bool TestingWindowsBuild() { return getenv("VUVPACK_EXE") != nullptr; }

// Wine shows the Linux root as drive Z:, and vuvpack.exe joins names with
// backslashes.
static std::string LinuxPaths(std::string text) {
    for (size_t at = text.find("Z:\\"); at != std::string::npos; at = text.find("Z:\\", at)) text.replace(at, 3, "/");
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

RunResult RunUnderWine(const std::string& exe, const std::vector<std::string>& args) {
    const char* wine = getenv("VUVPACK_WINE_RUN");
    std::vector<std::string> wineArgs = {exe};
    wineArgs.insert(wineArgs.end(), args.begin(), args.end());
    RunResult result = RunProgram(wine ? wine : VUV_WINE_RUN_PATH, wineArgs);
    result.err = LinuxPaths(result.err);
    return result;
}

RunResult RunWindowsVuvpack(const std::vector<std::string>& args) {
    const char* exe = getenv("VUVPACK_EXE");
    return RunUnderWine(exe ? exe : VUVPACK_EXE_PATH, args);
}

RunResult RunVuvpack(const std::vector<std::string>& args) {
    return TestingWindowsBuild() ? RunWindowsVuvpack(args) : RunProgram(VUVPACK_PATH, args);
}

std::string VuvpackProgramFile() { return TestingWindowsBuild() ? getenv("VUVPACK_EXE") : VUVPACK_PATH; }

RunResult RunVuvpackCopy(const std::string& copy, const std::vector<std::string>& args) {
    if (!TestingWindowsBuild()) return RunProgram(copy, args);
    // --version names the stubs' paths on stdout.
    RunResult result = RunUnderWine(copy, args);
    result.out = LinuxPaths(result.out);
    return result;
}

Bytes ReadFile(const std::string& path) {
    std::string text = ReadText(path);
    return Bytes(text.begin(), text.end());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
    ASSERT_TRUE(out.good()) << path;
}

void WriteFile(const std::string& path, const std::string& text) { WriteFile(path, Bytes(text.begin(), text.end())); }

bool PathExists(const std::string& path) {
    return std::filesystem::exists(std::filesystem::symlink_status(path));
}

std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

uint32_t U32At(const Bytes& bytes, size_t offset) {
    return bytes.at(offset) | (bytes.at(offset + 1) << 8) | (bytes.at(offset + 2) << 16) |
           ((uint32_t)bytes.at(offset + 3) << 24);
}

void PutU32(Bytes* bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; i++) (*bytes)[offset + i] = (uint8_t)(value >> (8 * i));
}

void PutU16(Bytes* bytes, size_t offset, uint16_t value) {
    (*bytes)[offset] = (uint8_t)value;
    (*bytes)[offset + 1] = (uint8_t)(value >> 8);
}

uint16_t U16At(const Bytes& bytes, size_t offset) { return (uint16_t)(bytes.at(offset) | (bytes.at(offset + 1) << 8)); }

std::u16string Utf16At(const Bytes& bytes, size_t offset, size_t units) {
    std::u16string text;
    for (size_t i = 0; i < units; i++) text.push_back((char16_t)U16At(bytes, offset + 2 * i));
    return text;
}

void ToolTest::SetUp() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    // The Linux build's and vuvpack.exe's runs of a test may run at once.
    dir_ = std::string(TOOL_TEST_ROOT) + (TestingWindowsBuild() ? "/exe/" : "/") + name;
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
}

std::string ToolTest::MakeCabinet(const std::string& name,
                                  const std::vector<std::pair<std::string, std::string>>& files) {
    std::string folder = Path(name + ".files");
    std::filesystem::create_directories(folder);
    std::vector<std::string> args = {"-c", "-z", Path(name)};
    for (const auto& file : files) {
        WriteFile(folder + "/" + file.first, file.second);
        args.push_back(file.first);
    }
    RunResult made = RunProgram("gcab", args, folder);
    EXPECT_EQ(0, made.status) << made.err;
    return Path(name);
}

time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    struct tm local = {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return mktime(&local);
}
