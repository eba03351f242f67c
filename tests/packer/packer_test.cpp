// The packer, run as a program: `write` then `list` round trips, every refusal of
// `write` (nonzero exit, no output, an existing output kept), and `list` on
// damaged packages. The written bytes are read back with the program's own reader.
#include "package/md5_digest.h"
#include "package/package_format.h"
#include "tests/native/support/synthetic_package.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace mossgate;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t DIRECTORY = PACKAGE_DIRECTORY_BYTES;

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
    ASSERT_TRUE(out.good()) << path;
}

void WriteText(const fs::path& path, const std::string& text) {
    WriteBytes(path, Bytes(text.begin(), text.end()));
}

std::string HexDigest(const Bytes& bytes) {
    uint8_t digest[16];
    MD5(bytes.data(), bytes.size(), digest);
    std::string hex;
    for (const uint8_t b : digest) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", b);
        hex += pair;
    }
    return hex;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The indices that `list` reported on stderr as failing, with the reasons.
std::vector<std::pair<size_t, std::string>> Failures(const Outcome& run) {
    std::vector<std::pair<size_t, std::string>> failures;
    // packer: entry N "NAME": WHY
    const std::string prefix = "packer: entry ";
    for (const std::string& line : Lines(run.err)) {
        const size_t quote = line.find(" \"");
        const size_t end = line.rfind("\": ");
        if (line.rfind(prefix, 0) != 0 || quote == std::string::npos || end == std::string::npos ||
            end <= quote || line.find_first_not_of("0123456789", prefix.size()) != quote) {
            ADD_FAILURE() << "unexpected stderr line: " << line;
            continue;
        }
        failures.emplace_back(std::stoul(line.substr(prefix.size())), line.substr(end + 3));
    }
    return failures;
}

std::string LastLine(const std::string& text) {
    const std::vector<std::string> lines = Lines(text);
    return lines.empty() ? std::string() : lines.back();
}

struct Source {
    std::string name;
    uint32_t reserved;
    Bytes bytes;
};

// 61 payloads whose sizes sit on the edges of the 16 KiB and 64 KiB blocks of the
// reader and the writer; entries 3 and 4 carry the same bytes.
std::vector<Source> SampleSources() {
    const size_t sizes[] = {1, 2, 15, 16, 16, 17, 16383, 16384, 16385, 65535, 65536, 65537, 200003};
    std::vector<Source> sources;
    for (uint32_t i = 0; i < PACKAGE_ENTRY_COUNT; ++i) {
        const size_t size = i < std::size(sizes) ? sizes[i] : 1 + (i * 7919u) % 3000u;
        const uint32_t reserved = i % 3 == 0   ? RESERVED_DRIVER_C
                                  : i % 3 == 1 ? RESERVED_DRIVER_D
                                               : i * 0x01010101u;
        sources.push_back({"entry_" + std::to_string(i) + ".bin", reserved,
                           synthetic::PatternBytes(size, static_cast<uint32_t>(i))});
    }
    sources[4].bytes = sources[3].bytes;
    sources[7].name = std::string(127, 'n');            // the longest name
    sources[8].name = "sub\\dir\\name with spaces.txt"; // kept as it is
    sources[9].reserved = 0xFFFFFFFF;
    sources[10].reserved = 0;
    return sources;
}

class PackerTest : public ::testing::Test {
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
    Outcome Packer(const std::vector<std::string>& args, rlim_t fileSizeLimit = RLIM_INFINITY) {
        const fs::path out = dir_ / "stdout.txt";
        const fs::path err = dir_ / "stderr.txt";
        std::vector<std::string> all{MOSSGATE_PACKER};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        Outcome run;
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
        if (pid < 0) {
            ADD_FAILURE() << "cannot start " << MOSSGATE_PACKER;
            return run;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.out = ReadText(out);
        run.err = ReadText(err);
        return run;
    }

    // Writes the sources into src/ and a manifest naming them relative to it.
    fs::path Manifest(const std::vector<Source>& sources,
                      const std::string& name = "manifest.txt") {
        std::string text;
        for (size_t i = 0; i < sources.size(); ++i) {
            const std::string file = "src/" + std::to_string(i) + ".bin";
            WriteBytes(dir_ / file, sources[i].bytes);
            char reserved[16];
            std::snprintf(reserved, sizeof reserved, "0x%08X", sources[i].reserved);
            text += sources[i].name + "\t" + reserved + "\t" + file + "\n";
        }
        WriteText(dir_ / name, text);
        return dir_ / name;
    }

    fs::path WritePackage(const std::vector<Source>& sources) {
        const fs::path output = dir_ / "out" / "package.bin";
        const Outcome run = Packer({"write", Manifest(sources).string(), output.string()});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
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

PackageEntry EntryAt(const Bytes& image, size_t index) {
    PackageEntry entry;
    std::memcpy(&entry, image.data() + index * sizeof(PackageEntry), sizeof entry);
    return entry;
}

void PutEntry(Bytes& image, size_t index, const PackageEntry& entry) {
    std::memcpy(image.data() + index * sizeof(PackageEntry), &entry, sizeof entry);
}

// ---------------------------------------------------------------------------
// write, then list

using PackerRoundTrip = PackerTest;

TEST_F(PackerRoundTrip, LayoutDigestsAndDescrambledBytesMatchTheSources) {
    const std::vector<Source> sources = SampleSources();
    const Bytes image = ReadBytes(WritePackage(sources));

    size_t total = DIRECTORY;
    for (const Source& source : sources) {
        total += source.bytes.size();
    }
    ASSERT_EQ(image.size(), total);

    Bytes plainImage = image;
    WalkState state = StartWalk();
    uint32_t offset = DIRECTORY;
    for (size_t i = 0; i < PACKAGE_ENTRY_COUNT; ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        const PackageEntry entry = EntryAt(image, i);
        char expectedName[PACKAGE_NAME_BYTES] = {};
        std::memcpy(expectedName, sources[i].name.data(), sources[i].name.size());
        EXPECT_EQ(std::memcmp(entry.name, expectedName, PACKAGE_NAME_BYTES), 0)
            << "name field, zero-filled";
        EXPECT_EQ(entry.dataOffset, offset);
        EXPECT_EQ(entry.dataSize, sources[i].bytes.size());
        EXPECT_EQ(entry.reserved, sources[i].reserved);
        uint8_t digest[16];
        MD5(sources[i].bytes.data(), sources[i].bytes.size(), digest);
        EXPECT_EQ(std::memcmp(entry.plainDigest, digest, 16), 0);

        const Bytes stored(image.begin() + entry.dataOffset,
                           image.begin() + entry.dataOffset + entry.dataSize);
        if (stored.size() >= 16) {
            EXPECT_NE(stored, sources[i].bytes) << "payload stored unscrambled";
        }
        ASSERT_EQ(ReadPackageEntry(entry, plainImage.data(), plainImage.size(), state),
                  EntryOutcome::Verified);
        EXPECT_TRUE(std::equal(sources[i].bytes.begin(), sources[i].bytes.end(),
                               plainImage.begin() + entry.dataOffset));
        offset += entry.dataSize;
    }
    // The same bytes twice are stored differently: the chain moved on.
    const PackageEntry third = EntryAt(image, 3);
    const PackageEntry fourth = EntryAt(image, 4);
    EXPECT_NE(
        Bytes(image.begin() + third.dataOffset, image.begin() + third.dataOffset + third.dataSize),
        Bytes(image.begin() + fourth.dataOffset,
              image.begin() + fourth.dataOffset + fourth.dataSize));
}

TEST_F(PackerRoundTrip, ListVerifiesEveryEntryAndShowsTheDirectory) {
    const std::vector<Source> sources = SampleSources();
    const fs::path package = WritePackage(sources);
    const Outcome run = Packer({"list", package.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(LastLine(run.out), "61 of 61 entries verified");
    for (size_t i = 0; i < PACKAGE_ENTRY_COUNT; ++i) {
        EXPECT_NE(run.out.find(HexDigest(sources[i].bytes)), std::string::npos)
            << "digest of entry " << i;
    }
    EXPECT_NE(run.out.find(" 0x0047282C "), std::string::npos);
    EXPECT_NE(run.out.find(" 0xFFFFFFFF "), std::string::npos);
    EXPECT_NE(run.out.find(std::string(127, 'n')), std::string::npos);
    EXPECT_NE(run.out.find("sub\\\\dir\\\\name with spaces.txt"), std::string::npos)
        << "backslashes shown escaped";
}

TEST_F(PackerRoundTrip, ManifestCommentsBlankLinesCrLfAndAbsolutePathsGiveTheSameBytes) {
    const std::vector<Source> sources = SampleSources();
    const Bytes plain = ReadBytes(WritePackage(sources));

    std::string text = "# a comment\r\n\r\n   \t \n";
    for (size_t i = 0; i < sources.size(); ++i) {
        char reserved[16];
        std::snprintf(reserved, sizeof reserved, i % 2 ? "0X%X" : "0x%x", sources[i].reserved);
        const fs::path file = dir_ / "src" / (std::to_string(i) + ".bin");
        // Absolute, relative to the manifest's folder (a sub-folder here), mixed.
        const std::string source = i % 2 ? file.string() : "../src/" + std::to_string(i) + ".bin";
        text += sources[i].name + "\t" + reserved + "\t" + source + (i % 3 ? "\r\n" : "\n");
        if (i == 30) {
            text += "#\tnot\tan entry\n";
        }
    }
    fs::create_directories(dir_ / "lists");
    WriteText(dir_ / "lists" / "manifest.txt", text);
    const fs::path output = dir_ / "out" / "again.bin";
    const Outcome run =
        Packer({"write", (dir_ / "lists" / "manifest.txt").string(), output.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(output), plain);
}

TEST_F(PackerRoundTrip, ReplacesAnExistingOutputAndLeavesNothingElse) {
    WriteText(dir_ / "out" / "package.bin", "an older package");
    const fs::path package = WritePackage(SampleSources());
    EXPECT_EQ(OutputFolder(), std::set<std::string>{"package.bin"});
    EXPECT_EQ(Packer({"list", package.string()}).status, 0);
    struct stat status {};
    ASSERT_EQ(::stat(package.c_str(), &status), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask)
        << "the mode of a new file, not a private temporary";
}

// ---------------------------------------------------------------------------
// write refuses, writes nothing and keeps what was there

class PackerWriteRefuses : public PackerTest {
  protected:
    // Runs `write` twice, into no file and over an existing one.
    void ExpectRefusal(const fs::path& manifest, const std::string& message) {
        const fs::path output = dir_ / "out" / "package.bin";
        Outcome run = Packer({"write", manifest.string(), output.string()});
        EXPECT_NE(run.status, 0);
        EXPECT_NE(run.err.find(message), std::string::npos) << "stderr: " << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(OutputFolder().empty()) << "something was written";

        WriteText(output, "previous");
        run = Packer({"write", manifest.string(), output.string()});
        EXPECT_NE(run.status, 0);
        EXPECT_EQ(ReadText(output), "previous");
        EXPECT_EQ(OutputFolder(), std::set<std::string>{"package.bin"});
        fs::remove(output);
    }

    // A valid manifest with one line replaced.
    fs::path WithLine(size_t index, const std::string& line) {
        const fs::path manifest = Manifest(SampleSources());
        std::vector<std::string> lines = Lines(ReadText(manifest));
        lines.at(index) = line;
        std::string text;
        for (const std::string& l : lines) {
            text += l + "\n";
        }
        WriteText(manifest, text);
        return manifest;
    }
};

TEST_F(PackerWriteRefuses, MissingEmptyOrUnreadableSource) {
    ExpectRefusal(WithLine(12, "x.bin\t0x1\tsrc/does-not-exist.bin"),
                  "does-not-exist.bin: No such file");
    ExpectRefusal(WithLine(60, "last.bin\t0x1\t/no/such/folder/file"), "No such file");
    WriteText(dir_ / "src" / "empty.bin", "");
    ExpectRefusal(WithLine(0, "first.bin\t0x1\tsrc/empty.bin"), "line 1 (first.bin): source");
    ExpectRefusal(WithLine(0, "first.bin\t0x1\tsrc/empty.bin"), "empty file");
    ExpectRefusal(WithLine(5, "folder\t0x1\tsrc"), "not a regular file");
    if (::geteuid() != 0) { // root reads it anyway
        WriteText(dir_ / "src" / "locked.bin", "locked");
        ::chmod((dir_ / "src" / "locked.bin").c_str(), 0);
        ExpectRefusal(WithLine(5, "locked\t0x1\tsrc/locked.bin"), "Permission denied");
    }
}

TEST_F(PackerWriteRefuses, NamesThatDoNotFitOrAreEmpty) {
    ExpectRefusal(WithLine(3, std::string(128, 'n') + "\t0x1\tsrc/3.bin"),
                  "manifest.txt:4: entry name of 128 characters");
    ExpectRefusal(WithLine(3, std::string(1000, 'n') + "\t0x1\tsrc/3.bin"), "at most 127");
    ExpectRefusal(WithLine(3, "\t0x1\tsrc/3.bin"), "manifest.txt:4: empty entry name");
    ExpectRefusal(WithLine(3, std::string("a\x01") + "b\t0x1\tsrc/3.bin"), "control character");
}

TEST_F(PackerWriteRefuses, CountOtherThan61) {
    for (const size_t count : {size_t{0}, size_t{1}, size_t{60}, size_t{62}}) {
        std::vector<Source> sources = SampleSources();
        sources.resize(count, sources[0]);
        ExpectRefusal(Manifest(sources), "names " + std::to_string(count) + " entries");
    }
    WriteText(dir_ / "comments-only.txt", "# nothing\n\n");
    ExpectRefusal(dir_ / "comments-only.txt", "names 0 entries");
}

TEST_F(PackerWriteRefuses, MalformedLines) {
    const struct {
        std::string line;
        std::string message;
    } cases[] = {
        {"a.bin\t0x1", "manifest.txt:8: expected NAME<TAB>RESERVED<TAB>SOURCE, found 2 fields"},
        {"a.bin 0x1 src/1.bin", "found 1 field"},
        {"a.bin\t0x1\tsrc/1.bin\textra", "found 4 fields"},
        {"a.bin\t0x1\tsrc/1.bin\t", "found 4 fields"},
        {"a.bin\t0x1\t", "empty source path"},
        {"a.bin\t47282C\tsrc/1.bin", "reserved value \"47282C\""},
        {"a.bin\t0x\tsrc/1.bin", "reserved value"},
        {"a.bin\t0x123456789\tsrc/1.bin", "reserved value"},
        {"a.bin\t0xG1\tsrc/1.bin", "reserved value"},
        {"a.bin\t-0x1\tsrc/1.bin", "reserved value"},
        {"a.bin\t 0x1\tsrc/1.bin", "reserved value"},
        {"a.bin\t\tsrc/1.bin", "reserved value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        ExpectRefusal(WithLine(7, c.line), c.message);
    }
    WriteText(dir_ / "src" / "x", "x");
    ExpectRefusal(WithLine(7, std::string("a.bin\t0x1\tsrc/x\0y", 17)), "NUL byte in source path");
}

TEST_F(PackerWriteRefuses, PackageOver4GiB) {
    // Sparse files: the sizes are refused before any byte is read.
    const fs::path half = dir_ / "src" / "half.bin";
    WriteText(half, "h");
    fs::resize_file(half, uint64_t{1} << 31);
    const fs::path exact =
        dir_ / "src" / "exact.bin"; // a package of exactly 4 GiB: one byte too many
    WriteText(exact, "e");
    fs::resize_file(exact, (uint64_t{1} << 32) - DIRECTORY - 60);
    const fs::path huge = dir_ / "src" / "huge.bin";
    WriteText(huge, "g");
    fs::resize_file(huge, uint64_t{5} << 30);

    fs::path manifest = WithLine(20, "a.bin\t0x1\t" + half.string());
    std::string text = ReadText(manifest);
    WriteText(manifest, text.replace(text.find("src/40.bin"), 10, half.string()));
    ExpectRefusal(manifest, "line 41 (entry_40.bin)");
    ExpectRefusal(manifest, "exceed 4 GiB");

    std::vector<Source> ones = SampleSources();
    for (Source& source : ones) {
        source.bytes = {1};
    }
    manifest = Manifest(ones);
    text = ReadText(manifest);
    WriteText(manifest, text.replace(text.find("src/60.bin"), 10, exact.string()));
    ExpectRefusal(manifest, "exceed 4 GiB (4294967296 bytes");

    ExpectRefusal(WithLine(0, "a.bin\t0x1\t" + huge.string()), "exceed 4 GiB");
}

TEST_F(PackerWriteRefuses, WriteErrorHalfwayLeavesNoPartialPackage) {
    const fs::path manifest = Manifest(SampleSources());
    const fs::path output = dir_ / "out" / "package.bin";
    for (const bool existing : {false, true}) {
        if (existing) {
            WriteText(output, "previous");
        }
        // The directory fits, the payloads do not.
        const Outcome run = Packer({"write", manifest.string(), output.string()}, 64 * 1024);
        EXPECT_NE(run.status, 0);
        EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
        EXPECT_EQ(OutputFolder(),
                  existing ? std::set<std::string>{"package.bin"} : std::set<std::string>{});
        if (existing) {
            EXPECT_EQ(ReadText(output), "previous");
        }
    }
}

TEST_F(PackerWriteRefuses, MissingManifestOrOutputFolder) {
    ExpectRefusal(dir_ / "no-manifest.txt", "cannot open manifest");
    const Outcome run = Packer(
        {"write", Manifest(SampleSources()).string(), (dir_ / "no-folder" / "p.bin").string()});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("cannot create"), std::string::npos) << run.err;
}

TEST_F(PackerWriteRefuses, UsageErrors) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"write"},
                                               {"write", "m"},
                                               {"write", "m", "o", "x"},
                                               {"list"},
                                               {"list", "a", "b"},
                                               {"pack", "a"}}) {
        const Outcome run = Packer(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("usage: packer write MANIFEST OUTPUT"), std::string::npos);
    }
}

// ---------------------------------------------------------------------------
// list on damaged packages

class PackerListDamage : public PackerTest, public ::testing::WithParamInterface<size_t> {
  protected:
    void SetUp() override {
        PackerTest::SetUp();
        package_ = WritePackage(SampleSources());
        image_ = ReadBytes(package_);
    }
    Outcome ListChanged() {
        const fs::path changed = dir_ / "changed.bin";
        WriteBytes(changed, image_);
        return Packer({"list", changed.string()});
    }
    // Expects the entries first..last to fail and no other, with `reason` for the
    // first and a digest mismatch for the rest; minLast <= last <= maxLast.
    void ExpectFailedRange(const Outcome& run, size_t first, size_t minLast, size_t maxLast,
                           const std::string& reason) {
        EXPECT_EQ(run.status, 1);
        const auto failures = Failures(run);
        ASSERT_FALSE(failures.empty()) << run.out;
        const size_t last = failures.back().first;
        EXPECT_GE(last, minLast) << run.err;
        EXPECT_LE(last, maxLast) << run.err;
        ASSERT_EQ(failures.size(), last - first + 1) << "not one run of entries:\n" << run.err;
        for (size_t i = 0; i < failures.size(); ++i) {
            EXPECT_EQ(failures[i].first, first + i);
            EXPECT_EQ(failures[i].second, i == 0 ? reason : "digest mismatch");
        }
        EXPECT_EQ(LastLine(run.out), std::to_string(PACKAGE_ENTRY_COUNT - failures.size()) +
                                         " of 61 entries verified");
        const std::vector<std::string> lines = Lines(run.out);
        ASSERT_EQ(lines.size(), 2 + PACKAGE_ENTRY_COUNT + 1) << run.out;
        for (size_t i = 0; i < PACKAGE_ENTRY_COUNT; ++i) {
            // The row: index, offset, size, reserved, digest, result, name.
            std::istringstream row(lines[2 + i]);
            std::string index, offset, size, reserved, digest, result;
            row >> index >> offset >> size >> reserved >> digest >> result;
            EXPECT_EQ(index, std::to_string(i));
            EXPECT_EQ(result, i >= first && i <= last ? "FAILED" : "ok") << row.str();
        }
    }
    void ExpectOnlyFailure(const Outcome& run, size_t index, const std::string& reason) {
        ExpectFailedRange(run, index, index, index, reason);
    }
    // A payload that reads wrong spoils its own entry, the next one (wrong key)
    // and at most three more: the seed is shifted left by 8 bits at each step, so
    // a difference in it is gone after four steps. Later entries verify again.
    void ExpectSpoiledFrom(const Outcome& run, size_t index, const std::string& reason) {
        const size_t end = PACKAGE_ENTRY_COUNT - 1;
        ExpectFailedRange(run, index, std::min(index + 1, end), std::min(index + 4, end), reason);
    }
    fs::path package_;
    Bytes image_;
};

TEST_P(PackerListDamage, WrongDigestFailsOnlyThatEntry) {
    PackageEntry entry = EntryAt(image_, GetParam());
    entry.plainDigest[15] ^= 0x01;
    PutEntry(image_, GetParam(), entry);
    ExpectOnlyFailure(ListChanged(), GetParam(), "digest mismatch");
}

TEST_P(PackerListDamage, ChangedStoredByteFailsThatEntryAndUpToFourMore) {
    const PackageEntry entry = EntryAt(image_, GetParam());
    image_[entry.dataOffset + entry.dataSize - 1] ^= 0x80; // the last byte: the keystream's end
    ExpectSpoiledFrom(ListChanged(), GetParam(), "digest mismatch");
}

TEST_P(PackerListDamage, UnterminatedNameFailsOnlyThatEntry) {
    PackageEntry entry = EntryAt(image_, GetParam());
    std::memset(entry.name, 'A', PACKAGE_NAME_BYTES);
    PutEntry(image_, GetParam(), entry);
    const Outcome run = ListChanged();
    ExpectOnlyFailure(run, GetParam(), "name not terminated");
    EXPECT_NE(run.err.find('"' + std::string(128, 'A') + "...\""), std::string::npos);
}

TEST_P(PackerListDamage, PayloadOutOfBoundsFailsThatEntryAndUpToFourMore) {
    PackageEntry entry = EntryAt(image_, GetParam());
    entry.dataSize = static_cast<uint32_t>(image_.size() - entry.dataOffset + 1);
    PutEntry(image_, GetParam(), entry);
    ExpectSpoiledFrom(ListChanged(), GetParam(), "out of bounds");

    entry.dataSize = 0xFFFFFFFF; // no 32-bit wrap-around
    entry.dataOffset = 0xFFFFFFFF;
    PutEntry(image_, GetParam(), entry);
    ExpectSpoiledFrom(ListChanged(), GetParam(), "out of bounds");

    entry = EntryAt(ReadBytes(package_), GetParam());
    entry.dataSize = 0;
    PutEntry(image_, GetParam(), entry);
    ExpectSpoiledFrom(ListChanged(), GetParam(), "out of bounds (empty payload)");
}

INSTANTIATE_TEST_SUITE_P(FirstMiddleLast, PackerListDamage,
                         ::testing::Values(size_t{0}, size_t{30}, size_t{60}));

using PackerListRefuses = PackerTest;

TEST_F(PackerListRefuses, FilesTooSmallOrMissing) {
    const Bytes image = ReadBytes(WritePackage(SampleSources()));
    for (const size_t size : {size_t{0}, size_t{1}, size_t{DIRECTORY}}) {
        WriteBytes(dir_ / "small.bin",
                   Bytes(image.begin(), image.begin() + static_cast<long>(size)));
        const Outcome run = Packer({"list", (dir_ / "small.bin").string()});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("is " + std::to_string(size) + " bytes: not a package"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(run.out, "");
    }
    const Outcome missing = Packer({"list", (dir_ / "none.bin").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos);
    const Outcome folder = Packer({"list", dir_.string()});
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.err.find("not a regular file"), std::string::npos) << folder.err;
}

TEST_F(PackerListRefuses, TruncatedPackage) {
    const Bytes image = ReadBytes(WritePackage(SampleSources()));
    // One byte short: the last entry leaves the file.
    WriteBytes(dir_ / "cut.bin", Bytes(image.begin(), image.end() - 1));
    Outcome run = Packer({"list", (dir_ / "cut.bin").string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(LastLine(run.out), "60 of 61 entries verified");
    ASSERT_EQ(Failures(run).size(), 1u);
    EXPECT_EQ(Failures(run)[0], std::make_pair(size_t{60}, std::string("out of bounds")));

    // The directory and one byte: only the first (one-byte) payload is there.
    WriteBytes(dir_ / "cut.bin", Bytes(image.begin(), image.begin() + DIRECTORY + 1));
    run = Packer({"list", (dir_ / "cut.bin").string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(LastLine(run.out), "1 of 61 entries verified");
    EXPECT_EQ(Failures(run).size(), 60u);
}

} // namespace
