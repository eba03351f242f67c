// The packer, run as a program: `write` then `list` round trips, every refusal of
// `write` (nonzero exit, no output, an existing output kept), and `list` on
// damaged packages. The written bytes are read back with the program's own reader.
#include "package/portable/md5_digest.h"
#include "package/portable/package_format.h"
#include "tests/native/support/package_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace mossgate;
using Bytes = std::vector<uint8_t>;

struct Outcome {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Bytes ReadBytes(const fs::path& path) {
    const std::string text = ReadText(path);
    return Bytes(text.begin(), text.end());
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const fs::path& path, const std::string& text) {
    WriteBytes(path, Bytes(text.begin(), text.end()));
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string LastLine(const std::string& text) {
    const std::vector<std::string> lines = Lines(text);
    return lines.empty() ? std::string() : lines.back();
}

// The entries that `list` reported as failing ("packer: entry N "NAME": WHY").
std::vector<std::string> Failures(const Outcome& run) {
    std::vector<std::string> failures;
    for (const std::string& line : Lines(run.err)) {
        const size_t quote = line.find(" \"");
        const size_t end = line.rfind("\": ");
        EXPECT_EQ(line.rfind("packer: entry ", 0), 0u) << line;
        if (quote != std::string::npos && end != std::string::npos) {
            failures.push_back(line.substr(14, quote - 14) + ": " + line.substr(end + 3));
        }
    }
    return failures;
}

// 61 payloads whose sizes sit on the edges of the 16 KiB and 64 KiB blocks of the
// reader and the writer; entries 3 and 4 carry the same bytes.
std::vector<PlainFile> SampleFiles() {
    std::vector<PlainFile> files = mossgate::testing::PatternFiles(
        {1, 2, 15, 16, 16, 17, 16383, 16384, 16385, 65535, 65536, 200003});
    for (size_t i = 0; i < files.size(); ++i) {
        files[i].reserved = i % 2 == 0 ? RESERVED_DRIVER_C : RESERVED_DRIVER_D;
    }
    files[4].bytes = files[3].bytes;
    files[7].name = std::string(127, 'n');            // the longest name
    files[8].name = "sub\\dir\\name with spaces.txt"; // kept as it is
    files[9].reserved = 0xFFFFFFFF;
    return files;
}

class Packer : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "packer-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        fs::create_directories(dir_ / "src");
        fs::create_directories(dir_ / "out");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Runs the packer; with fileSizeLimit, no file it writes may grow past that
    // many bytes (writes beyond fail with EFBIG, as on a full disk).
    Outcome Run(const std::vector<std::string>& args, rlim_t fileSizeLimit = RLIM_INFINITY) {
        const fs::path out = dir_ / "stdout.txt";
        const fs::path err = dir_ / "stderr.txt";
        std::vector<std::string> all{MOSSGATE_PACKER};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (outFd < 0 || errFd < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0) {
                _exit(126);
            }
            if (fileSizeLimit != RLIM_INFINITY) {
                signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{fileSizeLimit, fileSizeLimit};
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            execv(MOSSGATE_PACKER, argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadText(out),
                ReadText(err)};
    }

    // Writes the files into src/ and a manifest naming them relative to it.
    fs::path Manifest(const std::vector<PlainFile>& files) {
        std::string text;
        for (size_t i = 0; i < files.size(); ++i) {
            const std::string source = "src/" + std::to_string(i) + ".bin";
            WriteBytes(dir_ / source, files[i].bytes);
            char reserved[16];
            std::snprintf(reserved, sizeof reserved, "0x%08X", files[i].reserved);
            text += files[i].name + "\t" + reserved + "\t" + source + "\n";
        }
        WriteText(dir_ / "manifest.txt", text);
        return dir_ / "manifest.txt";
    }

    fs::path Write(const std::vector<PlainFile>& files) {
        const fs::path output = dir_ / "out" / "package.bin";
        const Outcome run = Run({"write", Manifest(files).string(), output.string()});
        EXPECT_EQ(run.status, 0) << run.err;
        return output;
    }

    std::set<std::string> OutputFolder() {
        std::set<std::string> names;
        for (const auto& item : fs::directory_iterator(dir_ / "out")) {
            names.insert(item.path().filename().string());
        }
        return names;
    }

    fs::path dir_;
};

TEST_F(Packer, WritesWhatTheProgramsWriterWritesAndListVerifiesIt) {
    const std::vector<PlainFile> files = SampleFiles();
    WriteText(dir_ / "out" / "package.bin", "an older package");
    const fs::path package = Write(files);
    EXPECT_EQ(ReadBytes(package), WritePackage(files));
    EXPECT_EQ(OutputFolder(), std::set<std::string>{"package.bin"});

    const Outcome run = Run({"list", package.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(LastLine(run.out), "61 of 61 entries verified");
    uint8_t digest[MD5_DIGEST_BYTES];
    MD5(files[12].bytes.data(), files[12].bytes.size(), digest);
    std::string hex;
    for (const uint8_t b : digest) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", b);
        hex += pair;
    }
    EXPECT_NE(run.out.find(hex), std::string::npos) << "the plain digest of entry 12";
    EXPECT_NE(run.out.find(" 0x0047284C "), std::string::npos);
    EXPECT_NE(run.out.find(" 0xFFFFFFFF "), std::string::npos);
    EXPECT_NE(run.out.find(std::string(127, 'n')), std::string::npos);
    EXPECT_NE(run.out.find("sub\\\\dir\\\\name with spaces.txt"), std::string::npos)
        << "backslashes shown escaped";

    // Comments, blank lines, CR LF, and sources absolute or relative to the
    // manifest's own folder give the same bytes.
    std::string text = "# a comment\r\n\r\n   \t \n";
    for (size_t i = 0; i < files.size(); ++i) {
        char reserved[16];
        std::snprintf(reserved, sizeof reserved, i % 2 ? "0X%X" : "0x%x", files[i].reserved);
        const fs::path file = dir_ / "src" / (std::to_string(i) + ".bin");
        const std::string source = i % 2 ? file.string() : "../src/" + std::to_string(i) + ".bin";
        text += files[i].name + "\t" + reserved + "\t" + source + (i % 3 ? "\r\n" : "\n");
    }
    fs::create_directories(dir_ / "lists");
    WriteText(dir_ / "lists" / "manifest.txt", text);
    const fs::path again = dir_ / "out" / "again.bin";
    ASSERT_EQ(Run({"write", (dir_ / "lists" / "manifest.txt").string(), again.string()}).status, 0);
    EXPECT_EQ(ReadBytes(again), ReadBytes(package));
}

TEST_F(Packer, WriteRefusesWritesNothingAndKeepsWhatWasThere) {
    WriteText(dir_ / "src" / "empty.bin", "");
    WriteText(dir_ / "src" / "huge.bin", "h");
    fs::resize_file(dir_ / "src" / "huge.bin", uint64_t{5} << 30); // sparse, never read
    const struct {
        size_t line;
        std::string text; // the manifest line put in its place
        const char* message;
    } lines[] = {
        {12, "x.bin\t0x1\tsrc/does-not-exist.bin", "does-not-exist.bin: No such file"},
        {0, "first.bin\t0x1\tsrc/empty.bin", "line 1 (first.bin): source"},
        {0, "first.bin\t0x1\tsrc/empty.bin", "empty file"},
        {5, "folder\t0x1\tsrc", "not a regular file"},
        {3, std::string(128, 'n') + "\t0x1\tsrc/3.bin", "manifest.txt:4: entry name of 128"},
        {3, "\t0x1\tsrc/3.bin", "manifest.txt:4: empty entry name"},
        {3, std::string("a\x01") + "b\t0x1\tsrc/3.bin", "control character"},
        {3, "sub\\CON .txt\t0x1\tsrc/3.bin", ":4: unsafe entry name \"sub\\CON .txt\": device"},
        {3, "sub/../../up.txt\t0x1\tsrc/3.bin", "unsafe entry name"},
        {3, "a|b\t0x1\tsrc/3.bin", "unsafe entry name"},
        {7, "a.bin\t0x1", "manifest.txt:8: expected NAME<TAB>RESERVED<TAB>SOURCE, found 2 fields"},
        {7, "a.bin\t0x1\tsrc/1.bin\t", "found 4 fields"},
        {7, "a.bin\t0x1\t", "empty source path"},
        {7, "a.bin\t47282C\tsrc/1.bin", "reserved value \"47282C\""},
        {7, "a.bin\t0x123456789\tsrc/1.bin", "reserved value"},
        {7, "a.bin\t0xG1\tsrc/1.bin", "reserved value"},
        {7, "a.bin\t\tsrc/1.bin", "reserved value"},
        {7, std::string("a.bin\t0x1\tsrc/1\0y", 17), "NUL byte in source path"},
        {20, "a.bin\t0x1\tsrc/huge.bin", "exceed 4 GiB"},
    };
    const fs::path output = dir_ / "out" / "package.bin";
    const auto expectRefusal = [&](const fs::path& manifest, const std::string& message) {
        for (const bool existing : {false, true}) {
            if (existing) {
                WriteText(output, "previous");
            }
            const Outcome run = Run({"write", manifest.string(), output.string()});
            EXPECT_NE(run.status, 0);
            EXPECT_NE(run.err.find(message), std::string::npos) << "stderr: " << run.err;
            EXPECT_EQ(OutputFolder(),
                      existing ? std::set<std::string>{"package.bin"} : std::set<std::string>{});
            EXPECT_EQ(ReadText(output), existing ? "previous" : "");
            fs::remove(output);
        }
    };
    for (const auto& c : lines) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> manifest = Lines(ReadText(Manifest(SampleFiles())));
        manifest.at(c.line) = c.text;
        std::string text;
        for (const std::string& line : manifest) {
            text += line + "\n";
        }
        WriteText(dir_ / "manifest.txt", text);
        expectRefusal(dir_ / "manifest.txt", c.message);
    }
    for (const size_t count : {size_t{0}, size_t{60}, size_t{62}}) {
        std::vector<PlainFile> files = SampleFiles();
        files.resize(count, files[0]);
        expectRefusal(Manifest(files), "names " + std::to_string(count) + " entries");
    }
    expectRefusal(dir_ / "no-manifest.txt", "cannot open manifest");

    // A write error halfway (the directory fits, the payloads do not).
    const fs::path manifest = Manifest(SampleFiles());
    const Outcome full = Run({"write", manifest.string(), output.string()}, 64 * 1024);
    EXPECT_NE(full.err.find("File too large"), std::string::npos) << full.err;
    EXPECT_TRUE(OutputFolder().empty());
}

TEST_F(Packer, UsageErrors) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"write", "m"}, {"write", "m", "o", "x"}, {"list"}, {"pack", "a"}}) {
        const Outcome run = Run(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("usage: packer write MANIFEST OUTPUT"), std::string::npos);
    }
}

TEST_F(Packer, ListReportsEachDamagedEntryAndTheOnesItMisleads) {
    // A payload that reads wrong spoils its own entry, the next one (wrong key) and
    // at most three more; later entries verify again. '+' marks "up to four more".
    const struct {
        size_t index;
        std::function<void(Bytes&, PackageEntry&)> damage;
        const char* reason;
        bool spoilsMore;
    } cases[] = {
        {30, [](Bytes&, PackageEntry& e) { e.plainDigest[15] ^= 1; }, "digest mismatch", false},
        {0, [](Bytes& image, PackageEntry& e) { image[e.dataOffset + e.dataSize - 1] ^= 0x80; },
         "digest mismatch", true},
        {60, [](Bytes&, PackageEntry& e) { std::memset(e.name, 'A', PACKAGE_NAME_BYTES); },
         "unsafe name (not terminated within its field)", false},
        {30, [](Bytes&, PackageEntry& e) { std::strcpy(e.name, "sub\\nul.TXT"); },
         "unsafe name (device name)", false},
        {30, [](Bytes&, PackageEntry& e) { e.dataOffset = e.dataSize = 0xFFFFFFFF; },
         "out of bounds", true},
        {0, [](Bytes&, PackageEntry& e) { e.dataSize = 0; }, "out of bounds (empty payload)", true},
    };
    const Bytes pristine = ReadBytes(Write(SampleFiles()));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        Bytes image = pristine;
        PackageEntry entry = mossgate::testing::EntryAt(image, c.index);
        c.damage(image, entry);
        mossgate::testing::StoreEntry(image, c.index, entry);
        WriteBytes(dir_ / "changed.bin", image);
        const Outcome run = Run({"list", (dir_ / "changed.bin").string()});
        EXPECT_EQ(run.status, 1);
        const std::vector<std::string> failures = Failures(run);
        ASSERT_FALSE(failures.empty()) << run.out;
        EXPECT_EQ(failures[0], std::to_string(c.index) + ": " + c.reason);
        const size_t most = c.spoilsMore ? std::min<size_t>(5, PACKAGE_ENTRY_COUNT - c.index) : 1;
        EXPECT_GE(failures.size(), c.spoilsMore && c.index < 60 ? 2u : 1u) << run.err;
        EXPECT_LE(failures.size(), most) << run.err;
        for (size_t i = 1; i < failures.size(); ++i) {
            EXPECT_EQ(failures[i], std::to_string(c.index + i) + ": digest mismatch");
        }
        EXPECT_EQ(LastLine(run.out),
                  std::to_string(61 - failures.size()) + " of 61 entries verified");
        EXPECT_EQ(Lines(run.out).size(), 2 + PACKAGE_ENTRY_COUNT + 1) << run.out;
    }
}

TEST_F(Packer, ListRefusesWhatIsNoPackage) {
    const Bytes image = ReadBytes(Write(SampleFiles()));
    for (const size_t size : {size_t{0}, size_t{PACKAGE_DIRECTORY_BYTES}}) {
        WriteBytes(dir_ / "small.bin",
                   Bytes(image.begin(), image.begin() + static_cast<long>(size)));
        const Outcome run = Run({"list", (dir_ / "small.bin").string()});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("is " + std::to_string(size) + " bytes: not a package"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_NE(Run({"list", (dir_ / "none.bin").string()}).err.find("cannot open"),
              std::string::npos);
    EXPECT_NE(Run({"list", dir_.string()}).err.find("not a regular file"), std::string::npos);

    // One byte short: the last entry leaves the file.
    WriteBytes(dir_ / "cut.bin", Bytes(image.begin(), image.end() - 1));
    const Outcome cut = Run({"list", (dir_ / "cut.bin").string()});
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(Failures(cut), std::vector<std::string>{"60: out of bounds"});
}

} // namespace
