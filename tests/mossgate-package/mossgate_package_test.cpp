// mossgate-package, run as a program: `write` then `list`, `verify` and `extract`
// on the package and on small setup programs that carry it; every refusal of
// `write` (nonzero exit, no output, an existing output kept); damaged packages;
// hostile names and planted links that `extract` must not be led by; --json read
// back by Python's json module. The written bytes are read back with the
// program's own reader.
#include "package/portable/package_format.h"
#include "tests/native/support/package_files.h"
#include "tests/native/support/pe_image.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace mossgate;
using mossgate::testing::MakePeImage;
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

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
    WriteText(path, std::string(bytes.begin(), bytes.end()));
}

// The text as one word of a POSIX shell's command line.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
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

// The entries reported as failing ("mossgate-package: entry N "NAME": WHY"), as
// "N: WHY".
std::vector<std::string> Failures(const Outcome& run) {
    std::vector<std::string> failures;
    for (const std::string& line : Lines(run.err)) {
        const size_t quote = line.find(" \"");
        const size_t end = line.rfind("\": ");
        EXPECT_EQ(line.rfind("mossgate-package: entry ", 0), 0u) << line;
        if (quote != std::string::npos && end != std::string::npos) {
            failures.push_back(line.substr(24, quote - 24) + ": " + line.substr(end + 3));
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

// Regular files below a folder, links not followed, as paths relative to it.
std::set<std::string> FilesBelow(const fs::path& folder) {
    std::set<std::string> files;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        if (item.is_regular_file() && !item.is_symlink()) {
            files.insert(fs::relative(item.path(), folder).string());
        }
    }
    return files;
}

class Tool : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "mossgate-package-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        fs::create_directories(dir_ / "src");
        fs::create_directories(dir_ / "out");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Runs a shell command line, its output and errors caught in files.
    Outcome Shell(const std::string& command) {
        const fs::path out = dir_ / "stdout.txt", err = dir_ / "stderr.txt";
        const int status =
            std::system((command + " >" + Quoted(out) + " 2>" + Quoted(err)).c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
    }

    // Runs the tool; with blocks, no file it writes may grow past that many
    // 512-byte blocks (writes beyond fail with EFBIG, as on a full disk).
    Outcome Run(const std::vector<std::string>& args, int blocks = 0) {
        std::string command =
            blocks ? "trap '' XFSZ; ulimit -f " + std::to_string(blocks) + "; " : std::string();
        command += Quoted(MOSSGATE_PACKAGE_TOOL);
        for (const std::string& arg : args) {
            command += " " + Quoted(arg);
        }
        return Shell(command);
    }

    // Parses a run's standard output with Python's json module and prints the
    // value of `expression` over it (`d`; the test's folder is sys.argv[2]), or
    // Python's complaint.
    std::string Json(const Outcome& run, const std::string& expression) {
        WriteText(dir_ / "json.txt", run.out);
        WriteText(dir_ / "read_json.py",
                  "import hashlib, json, sys\nd = json.load(open(sys.argv[1]))\nprint(" +
                      expression + ")\n");
        const Outcome python = Shell("PYTHONIOENCODING=utf-8 " + Quoted(MOSSGATE_PYTHON) + " " +
                                     Quoted(dir_ / "read_json.py") + " " +
                                     Quoted(dir_ / "json.txt") + " " + Quoted(dir_));
        EXPECT_EQ(python.status, 0) << python.err << run.out.substr(0, 300);
        return python.out.empty() ? python.out : python.out.substr(0, python.out.size() - 1);
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

    fs::path Put(const std::string& name, const Bytes& bytes) {
        WriteBytes(dir_ / name, bytes);
        return dir_ / name;
    }

    fs::path dir_;
};

TEST_F(Tool, WritesAPackageThenListsVerifiesAndExtractsItAndTheProgramsThatCarryIt) {
    const std::vector<PlainFile> files = SampleFiles();
    WriteText(dir_ / "out" / "package.bin", "an older package");
    const Bytes package = ReadBytes(Write(files));
    ASSERT_EQ(package, WritePackage(files));
    EXPECT_EQ(FilesBelow(dir_ / "out"), std::set<std::string>{"package.bin"});

    const std::string size = std::to_string(package.size());
    mossgate::testing::PeImage signed64 = MakePeImage(package, true);
    mossgate::testing::AppendCertificateTable(signed64);
    const Bytes pe32 = MakePeImage(package).bytes;
    const auto program = [&size](const Bytes& bytes, const char* format) {
        return "setup program, " + std::to_string(bytes.size()) + " bytes, " + format +
               "; package in resource RCDATA 100 language 0x0409 at offset 600, " + size + " bytes";
    };
    const struct {
        const char* name;
        Bytes bytes;
        std::string header; // after "FILE: "
    } sources[] = {
        {"package.bin", package, "package, " + size + " bytes"},
        {"pe32.exe", pe32, program(pe32, "PE32 (machine 0x014C)")},
        {"signed64.exe", signed64.bytes, program(signed64.bytes, "PE32+ (machine 0x8664)")},
    };
    for (const auto& source : sources) {
        SCOPED_TRACE(source.name);
        const std::string file = Put(source.name, source.bytes).string();
        const Outcome list = Run({"list", file});
        EXPECT_EQ(list.status, 0) << list.err;
        const std::vector<std::string> lines = Lines(list.out);
        ASSERT_EQ(lines.size(), 2 + PACKAGE_ENTRY_COUNT + 1) << list.out;
        EXPECT_EQ(lines[0], file + ": " + source.header);
        EXPECT_EQ(lines.back(), "61 of 61 entries verified");
        EXPECT_NE(lines[2 + 9].find(" 0xFFFFFFFF "), std::string::npos);
        EXPECT_NE(lines[2 + 7].find(std::string(127, 'n')), std::string::npos);
        EXPECT_NE(lines[2 + 8].find("sub\\\\dir\\\\name with spaces.txt"), std::string::npos)
            << "backslashes shown escaped";
        const Outcome verify = Run({"verify", file});
        EXPECT_EQ(verify.status, 0);
        EXPECT_EQ(verify.out + verify.err, "61 of 61 entries verified\n");

        const fs::path folder = dir_ / (std::string(source.name) + ".files");
        const Outcome extract = Run({"extract", file, folder.string()});
        EXPECT_EQ(extract.status, 0) << extract.err;
        EXPECT_EQ(LastLine(extract.out), "61 of 61 entries written to " + folder.string());
        EXPECT_EQ(FilesBelow(folder).size(), PACKAGE_ENTRY_COUNT);
        for (const PlainFile& plain : files) {
            std::string path = plain.name;
            std::replace(path.begin(), path.end(), '\\', '/');
            EXPECT_EQ(ReadBytes(folder / path), plain.bytes) << path;
        }
    }
    EXPECT_EQ(Json(Run({"list", "--json", (dir_ / "pe32.exe").string()}),
                   "d['kind'], d['program'], d['package_bytes'], len(d['entries']), "
                   "d['entries'][9]['reserved'], d['entries'][8]['name'], d['ok'], "
                   "d['entries'][12]['plain_md5'] == hashlib.md5(open(sys.argv[2] + "
                   "'/src/12.bin', 'rb').read()).hexdigest()"),
              "setup program {'pe': 'PE32', 'machine': 332, 'file_bytes': " +
                  std::to_string(pe32.size()) + ", 'package_offset': 600} " + size +
                  " 61 4294967295 sub\\dir\\name with spaces.txt True True");

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
    EXPECT_EQ(ReadBytes(again), package);
}

TEST_F(Tool, WriteRefusesWritesNothingAndKeepsWhatWasThere) {
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
        {7, "a.bin\t0x1", "manifest.txt:8: expected NAME<TAB>RESERVED<TAB>SOURCE, found 2 fields"},
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
            EXPECT_EQ(FilesBelow(dir_ / "out"),
                      existing ? std::set<std::string>{"package.bin"} : std::set<std::string>{});
            EXPECT_EQ(ReadText(output), existing ? "previous" : "");
            fs::remove(output);
        }
    };
    const std::vector<std::string> sample = Lines(ReadText(Manifest(SampleFiles())));
    for (const auto& c : lines) {
        SCOPED_TRACE(c.text);
        std::string text;
        for (size_t i = 0; i < sample.size(); ++i) {
            text += (i == c.line ? c.text : sample[i]) + "\n";
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
    const Outcome full = Run({"write", manifest.string(), output.string()}, 128);
    EXPECT_NE(full.err.find("File too large"), std::string::npos) << full.err;
    EXPECT_TRUE(FilesBelow(dir_ / "out").empty());
}

TEST_F(Tool, UsageErrors) {
    for (const char* line :
         {"", "write m", "write m o x", "list", "pack a", "verify --json", "list --force f",
          "list --jsn f", "extract f", "extract --json f d", "write --force m o"}) {
        std::istringstream words(line);
        const Outcome run = Run({std::istream_iterator<std::string>(words), {}});
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("usage: mossgate-package list [--json] FILE"), std::string::npos);
    }
}

TEST_F(Tool, ReportsEachDamagedEntryAndTheOnesItMisleads) {
    // A payload that reads wrong spoils its own entry, the next one (wrong key) and
    // at most three more; later entries verify again. `list` reads the package,
    // `verify` a program carrying it.
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
        for (const bool program : {false, true}) {
            const fs::path file = Put("changed", program ? MakePeImage(image).bytes : image);
            const Outcome run = Run({program ? "verify" : "list", file.string()});
            EXPECT_EQ(run.status, 1);
            const std::vector<std::string> failures = Failures(run);
            ASSERT_FALSE(failures.empty()) << run.out;
            EXPECT_EQ(failures[0], std::to_string(c.index) + ": " + c.reason);
            const size_t most =
                c.spoilsMore ? std::min<size_t>(5, PACKAGE_ENTRY_COUNT - c.index) : 1;
            EXPECT_GE(failures.size(), c.spoilsMore && c.index < 60 ? 2u : 1u) << run.err;
            EXPECT_LE(failures.size(), most) << run.err;
            for (size_t i = 1; i < failures.size(); ++i) {
                EXPECT_EQ(failures[i], std::to_string(c.index + i) + ": digest mismatch");
            }
            EXPECT_EQ(LastLine(run.out),
                      std::to_string(61 - failures.size()) + " of 61 entries verified");
            EXPECT_EQ(Lines(run.out).size(), program ? 1 : 2 + PACKAGE_ENTRY_COUNT + 1);
        }
    }
}

TEST_F(Tool, RefusesWhatIsNeitherAPackageNorASetupProgram) {
    const Bytes image = ReadBytes(Write(SampleFiles()));
    const Bytes small(image.begin(), image.begin() + PACKAGE_DIRECTORY_BYTES);
    const std::string looking = "not a setup program (looking for its package, resource RCDATA "
                                "100 language 0x0409): ";
    const struct {
        const char* name;
        Bytes bytes;
        std::string message; // after "mossgate-package: FILE"
    } files[] = {
        {"empty \xFF caf\xC3\xA9", {}, ": is 0 bytes: not a package"}, // JSON: U+FFFD, U+00E9
        {"small resource", MakePeImage(small).bytes,
         ": its package resource is 9516 bytes: not a package"},
        {"another id", MakePeImage(image, false, 10, 101).bytes,
         ": " + looking + "no resource of that type and id"},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const std::string file = Put(f.name, f.bytes).string();
        const Outcome run = Run({"verify", "--json", file});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
        EXPECT_EQ(run.err.find("mossgate-package: " + file + f.message), 0u) << run.err;
        std::string error = run.err.substr(18, run.err.size() - 19);
        for (size_t at; (at = error.find('\xFF')) != std::string::npos;) {
            error.replace(at, 1, "\xEF\xBF\xBD");
        }
        EXPECT_EQ(Json(run, "d['ok'], d['error']"), "False " + error);
        EXPECT_EQ(Run({"list", file}).err, run.err);
        EXPECT_EQ(Run({"extract", file, (dir_ / "files").string()}).status, 1);
    }
    EXPECT_FALSE(fs::exists(dir_ / "files"));
    EXPECT_NE(Run({"list", (dir_ / "none.bin").string()}).err.find("cannot open"),
              std::string::npos);
    EXPECT_NE(Run({"list", dir_.string()}).err.find("not a regular file"), std::string::npos);

    // One byte short: the last entry leaves the file.
    const Outcome cut =
        Run({"list", Put("cut.bin", Bytes(image.begin(), image.end() - 1)).string()});
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(Failures(cut), std::vector<std::string>{"60: out of bounds"});
}

TEST_F(Tool, ExtractWritesOnlyVerifiedEntriesBelowItsFolderAndOverwritesOnlyWhenTold) {
    // Names the program refuses, and links planted in the folder: a folder link
    // and a file link, both pointing outside.
    const struct {
        size_t index;
        const char* name;
        const char* why; // the start of "not written: WHY", or null: written
    } entries[] = {
        {0, "..\\up.txt", "unsafe name (component ending in a dot"},
        {1, "\\rooted.txt", "unsafe name (rooted"},
        {2, "/abs.txt", "unsafe name (rooted"},
        {3, "C:drive.txt", "unsafe name (drive or stream colon"},
        {4, "sub\\..\\..\\x.txt", "unsafe name (component ending in a dot"},
        {5, "NUL.txt", "unsafe name (device name"},
        {6, "sub\\com1", "unsafe name (device name"},
        {7, "folder\\", "names a folder"},
        {8, "link\\through.txt", "link/ is a symbolic link, not entered"},
        {9, "victim.txt", "victim.txt exists (--force replaces it)"},
        {10, "sub\\ok.txt", nullptr},
        {11, "sub/deeper\\\\ok2.txt", nullptr},
        {12, "quote\"d.txt", "unsafe name (character that Windows forbids"},
        {13, "caf\xE9 \x80.txt", nullptr},
        {14, "damaged.bin", "digest mismatch"},
        {15, "tab\tname", "unsafe name (character that Windows forbids"},
    };
    std::vector<PlainFile> files = mossgate::testing::PatternFiles({});
    for (const auto& e : entries) {
        files[e.index].name = e.name;
    }
    Bytes image = WritePackage(files);
    PackageEntry entry = mossgate::testing::EntryAt(image, 14);
    entry.plainDigest[0] ^= 1;
    mossgate::testing::StoreEntry(image, 14, entry);
    entry = mossgate::testing::EntryAt(image, 59); // whose payload the last entry rewrites
    std::memset(entry.name, 'A', PACKAGE_NAME_BYTES);
    mossgate::testing::StoreEntry(image, 60, entry);
    const std::string file = Put("hostile.exe", MakePeImage(image).bytes).string();

    // Names in JSON: code page 1252 decoded, quotes and controls escaped.
    EXPECT_EQ(Json(Run({"list", "--json", file}),
                   "ascii([d['entries'][i]['name'] for i in (0, 12, 13, 15)]), "
                   "len(d['entries'][60]['name']), d['entries'][14]['reason'], d['ok']"),
              R"(['..\\up.txt', 'quote"d.txt', 'caf\xe9 \u20ac.txt', 'tab\tname'] 128 )"
              R"(digest mismatch False)");

    const fs::path folder = dir_ / "x";
    fs::create_directories(folder);
    fs::create_directories(dir_ / "outside");
    WriteText(dir_ / "outside" / "victim.txt", "keep");
    fs::create_directory_symlink(dir_ / "outside", folder / "link");
    fs::create_symlink(dir_ / "outside" / "victim.txt", folder / "victim.txt");
    std::set<std::string> expected = FilesBelow(dir_);
    for (size_t i = 16; i < 60; ++i) {
        expected.insert("x/file" + std::to_string(i) + ".bin");
    }
    expected.insert({"x/sub/ok.txt", "x/sub/deeper/ok2.txt", "x/caf\xE9 \x80.txt"});

    for (const char* force : {"", "", "--force"}) {
        SCOPED_TRACE(force);
        const bool again = FilesBelow(folder).count("sub/ok.txt") != 0;
        if (again) {
            WriteText(folder / "sub" / "ok.txt", "mine");
        }
        std::vector<std::string> args{"extract", file, folder.string()};
        if (*force) {
            args.push_back(force);
            expected.insert("x/victim.txt");
        }
        const Outcome run = Run(args);
        EXPECT_EQ(run.status, 1);
        std::map<size_t, std::string> failed;
        for (const std::string& failure : Failures(run)) {
            failed[std::stoul(failure)] = failure.substr(failure.find(": ") + 2);
        }
        EXPECT_EQ(failed[60], "not written: unsafe name (not terminated within its field), "
                              "digest mismatch");
        EXPECT_EQ(ReadBytes(folder / "file59.bin"), files[59].bytes) << "written when it verified";
        for (const auto& e : entries) {
            const bool written = e.why == nullptr || (*force && e.index == 9);
            EXPECT_EQ(failed.count(e.index) == 1, !written || (again && !*force)) << e.name;
            if (!written) {
                EXPECT_EQ(failed[e.index].rfind("not written: " + std::string(e.why), 0), 0u)
                    << failed[e.index];
            }
        }
        EXPECT_EQ(FilesBelow(dir_), expected);
        EXPECT_EQ(ReadText(dir_ / "outside" / "victim.txt"), "keep");
        EXPECT_EQ(ReadText(folder / "sub" / "ok.txt"),
                  again && !*force ? "mine"
                                   : std::string(files[10].bytes.begin(), files[10].bytes.end()));
        EXPECT_EQ(LastLine(run.out), std::to_string(*force  ? 48
                                                    : again ? 0
                                                            : 47) +
                                         " of 61 entries written to " + folder.string());
    }
    EXPECT_FALSE(fs::is_symlink(folder / "victim.txt"));
    EXPECT_EQ(ReadBytes(folder / "victim.txt"), files[9].bytes);
}

} // namespace
