#include "config/archive.h"
#include "config/settings_file.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "tests/support/temp_folder.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Report {
    unsigned messageId;
    unsigned descriptionId;
    std::string text;
};

class CCapturingReporter : public CSettingsErrorReporter {
public:
    void reportFileError(unsigned messageId, unsigned descriptionId,
                         const std::string& text) override {
        reports.push_back({messageId, descriptionId, text});
    }
    std::vector<Report> reports;
};

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.valid());
        dir = folder.path();
        settings.path = (dir / "VNTLSettings.dat").string();
        settings.setReporter(&reporter);
    }
    Bytes fileBytes() const {
        std::ifstream in(settings.path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    void writeFile(const Bytes& bytes) const {
        std::ofstream out(settings.path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

    CTempFolder folder{"vantrel-settings"};
    fs::path dir;
    CSettingsFile settings;
    CCapturingReporter reporter;
};

const Bytes kWorkedExample = {
    0x00, 0x01, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x09, 0x00, 0x43, 0x4C, 0x6F, 0x63, 0x61, 0x74, 0x69,
    0x6F, 0x6E, 0x01, 0x41, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x43, 0x4F, 0x4D, 0x31, 0x05, 0x00,
    0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00,
    0x00, 0x00, 0x0B, 0x41, 0x54, 0x20, 0x26, 0x46, 0x20, 0x45, 0x30, 0x20, 0x4D, 0x31, 0x3C, 0x00,
    0x00, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x0F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0xF4, 0x01, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00};

CLocation named(const std::string& name, int mediaCode = kMediaCodeDirect) {
    CLocation location(mediaCode);
    location.name = name;
    return location;
}

} // namespace

TEST_F(SettingsFileTest, WorkedExampleByteForByte) {
    ASSERT_EQ(kWorkedExample.size(), 106u);
    settings.append(named("A"));
    ASSERT_TRUE(settings.save());
    EXPECT_EQ(fileBytes(), kWorkedExample);

    CSettingsFile loaded;
    loaded.path = settings.path;
    ASSERT_TRUE(loaded.load());
    ASSERT_EQ(loaded.count(), 1);
    EXPECT_EQ(*loaded.getLocation(0), named("A"));
    EXPECT_EQ(loaded.getLocation(1), nullptr);
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(SettingsFileTest, EmptySettingsAreThreeBytes) {
    ASSERT_TRUE(settings.save());
    EXPECT_EQ(fileBytes(), (Bytes{0x00, 0x00, 0x00}));
}

TEST_F(SettingsFileTest, ClassDefinedOnceAndEmptyEntriesAsNullTags) {
    settings.append(named("A"));
    settings.append(nullptr);
    settings.append(named("B"));
    settings.append(named("C"));
    const Bytes bytes = settings.serializedBytes();
    // After the first location (106 bytes): a null tag, then each further location tagged 01 80.
    const std::size_t locationSize = 106 - 18;
    ASSERT_EQ(bytes.size(), 106 + 2 + 2 * (2 + locationSize));
    EXPECT_EQ(Bytes(bytes.begin() + 106, bytes.begin() + 110), (Bytes{0x00, 0x00, 0x01, 0x80}));
    EXPECT_EQ(Bytes(bytes.begin() + 110 + locationSize, bytes.begin() + 112 + locationSize),
              (Bytes{0x01, 0x80}));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find("CLocation"), 9u);
    EXPECT_EQ(std::string(bytes.begin() + 10, bytes.end()).find("CLocation"), std::string::npos);
}

TEST_F(SettingsFileTest, RoundTripKeepsEveryLocationAndEmptyEntry) {
    CLocation empty(kMediaCodeModem);
    CLocation longName = named(std::string(254, 'x'), kMediaCodeSatellite);
    CLocation longerName = named(std::string(255, 'y'), kMediaCodeTcpIp);
    longerName.ipAddress = 0x80000001u;
    longerName.number = std::string(0x10000, 'z');
    settings.lastLocationName = std::string(255, 'y');
    settings.append(empty);
    settings.append(longName);
    settings.append(nullptr);
    settings.append(longerName);
    ASSERT_TRUE(settings.save());

    const Bytes bytes = fileBytes();
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 3), (Bytes{0xFF, 0xFF, 0x00}));

    CSettingsFile loaded;
    loaded.path = settings.path;
    ASSERT_TRUE(loaded.load());
    EXPECT_EQ(loaded.lastLocationName, settings.lastLocationName);
    ASSERT_EQ(loaded.count(), 4);
    EXPECT_EQ(*loaded.getLocation(0), empty);
    EXPECT_EQ(*loaded.getLocation(1), longName);
    EXPECT_EQ(loaded.getLocation(2), nullptr);
    EXPECT_EQ(*loaded.getLocation(3), longerName);
    EXPECT_EQ(loaded.serializedBytes(), bytes);
}

TEST(SettingsArchive, LengthAndCountEncodings) {
    const struct {
        std::size_t length;
        Bytes prefix;
    } strings[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {0xFFFD, {0xFF, 0xFD, 0xFF}},
        {0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const auto& c : strings) {
        SCOPED_TRACE(c.length);
        CArchive out;
        out.writeString(std::string(c.length, 'q'));
        const Bytes& bytes = out.buffer();
        ASSERT_EQ(bytes.size(), c.prefix.size() + c.length);
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + static_cast<long>(c.prefix.size())),
                  c.prefix);
        CArchive in(bytes.data(), bytes.size());
        EXPECT_EQ(in.readString(), std::string(c.length, 'q'));
    }

    const struct {
        std::uint32_t count;
        Bytes bytes;
    } counts[] = {
        {0xFFFE, {0xFE, 0xFF}},
        {0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
        {0x12345678, {0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12}},
    };
    for (const auto& c : counts) {
        CArchive out;
        out.writeCount(c.count);
        EXPECT_EQ(out.buffer(), c.bytes);
        CArchive in(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(in.readCount(), c.count);
    }
}

TEST_F(SettingsFileTest, CountOfFFFFEntriesUsesLongForm) {
    for (int i = 0; i < 0xFFFF; ++i)
        settings.append(nullptr);
    const Bytes bytes = settings.serializedBytes();
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 7),
              (Bytes{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}));
    CSettingsFile loaded;
    ASSERT_TRUE(loaded.loadFromBuffer(bytes.data(), bytes.size()));
    EXPECT_EQ(loaded.count(), 0xFFFF);
}

TEST(SettingsErrors, OperatingSystemErrorsMapToTheirDescriptions) {
    const struct {
        int error;
        unsigned description;
    } cases[] = {
        {EACCES, kIdsFileAccessDenied},      {EPERM, kIdsFileAccessDenied},
        {EROFS, kIdsFileAccessDenied},       {EMFILE, kIdsFileTooManyOpen},
        {ENFILE, kIdsFileTooManyOpen},       {ENOSPC, kIdsFileDiskFull},
        {EDQUOT, kIdsFileDiskFull},          {EFBIG, kIdsFileDiskFull},
        {EMLINK, kIdsFileDirectoryFull},     {EIO, kIdsFileHardwareIo},
        {ETXTBSY, kIdsFileSharingViolation}, {EBUSY, kIdsFileSharingViolation},
        {ENOLCK, kIdsFileLockingViolation},  {EDEADLK, kIdsFileLockingViolation},
        {ENAMETOOLONG, kIdsFileBadPath},     {ENOTDIR, kIdsFileBadPath},
        {EISDIR, kIdsFileBadPath},           {ELOOP, kIdsFileBadPath},
        {EINVAL, kIdsFileBadPath},           {ENXIO, kIdsFileBadPath},
        {ENODEV, kIdsFileBadPath},           {ENOMEM, kIdsFileOutOfMemory},
        {EPROTO, kIdsFileGeneric},
    };
    for (const auto& c : cases)
        EXPECT_EQ(settingsErrorDescription(c.error), c.description) << c.error;
}

TEST_F(SettingsFileTest, WideStringsAreReadAsUtf8) {
    // "Zü€" and U+1F600 as a surrogate pair, then an unpaired low surrogate.
    const Bytes file = {0xFF, 0xFE, 0xFF, 0x06, 0x5A, 0x00, 0xFC, 0x00, 0xAC,
                        0x20, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xDC, 0x00, 0x00};
    ASSERT_TRUE(settings.loadFromBuffer(file.data(), file.size()));
    EXPECT_EQ(settings.lastLocationName, "Z\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD");
    EXPECT_EQ(settings.count(), 0);
}

TEST_F(SettingsFileTest, DamagedFilesReportAndKeepWhatWasRead) {
    settings.lastLocationName = "L";
    settings.append(named("A"));
    settings.append(named("B"));
    settings.append(named("C"));
    const Bytes good = settings.serializedBytes();
    const std::size_t secondStart = 2 + 2 + (106 - 3); // name, count, first location

    auto withTag = [&](Bytes tag) {
        Bytes bytes(good.begin(), good.begin() + static_cast<long>(secondStart));
        // Appended one by one: GCC 12 at -O3 misreads a range insert here as out of bounds.
        std::copy(tag.begin(), tag.end(), std::back_inserter(bytes));
        return bytes;
    };
    auto withClassName = [&](std::uint16_t length, const std::string& name) {
        Bytes bytes = {0x00, 0x01, 0x00, 0xFF, 0xFF, 0x07, 0x00};
        bytes.push_back(static_cast<std::uint8_t>(length));
        bytes.push_back(static_cast<std::uint8_t>(length >> 8));
        bytes.insert(bytes.end(), name.begin(), name.end());
        bytes.insert(bytes.end(), 200, 0x00);
        return bytes;
    };

    const struct {
        const char* what;
        Bytes file;
        unsigned description;
        const char* lastName;
        int count;
        int firstLocations; // entries read completely
    } cases[] = {
        {"zero length", {}, kIdsFileEndOfFile, "", 0, 0},
        {"cut inside second location",
         Bytes(good.begin(), good.begin() + static_cast<long>(secondStart) + 30), kIdsFileEndOfFile,
         "L", 3, 1},
        {"count beyond the file",
         {0x01, 0x4C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x00},
         kIdsFileEndOfFile,
         "L",
         0,
         0},
        {"string length beyond the file",
         {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x41},
         kIdsFileEndOfFile,
         "",
         0,
         0},
        {"wide length beyond the file",
         {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x10},
         kIdsFileEndOfFile,
         "",
         0,
         0},
        {"object reference tag", withTag({0x02, 0x00}), kIdsFileBadFormat, "L", 3, 1},
        {"undefined class number", withTag({0x02, 0x80}), kIdsFileBadFormat, "L", 3, 1},
        {"class number before any definition",
         {0x00, 0x01, 0x00, 0x01, 0x80, 0x00},
         kIdsFileBadFormat,
         "",
         1,
         0},
        {"unknown class", withClassName(4, "CFoo"), kIdsFileBadClass, "", 1, 0},
        {"class name too long", withClassName(64, std::string(64, 'C')), kIdsFileBadClass, "", 1,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        reporter.reports.clear();
        CSettingsFile loaded;
        loaded.setReporter(&reporter);
        loaded.lastLocationName = "stale";
        loaded.append(named("stale"));
        EXPECT_FALSE(loaded.loadFromBuffer(c.file.data(), c.file.size()));
        ASSERT_EQ(reporter.reports.size(), 1u);
        EXPECT_EQ(reporter.reports[0].messageId, 7900u);
        EXPECT_EQ(reporter.reports[0].descriptionId, c.description);
        EXPECT_EQ(loaded.lastLocationName, c.lastName);
        ASSERT_EQ(loaded.count(), c.count);
        for (int i = 0; i < c.count; ++i) {
            if (i < c.firstLocations)
                EXPECT_EQ(*loaded.getLocation(i), *settings.getLocation(i));
            else
                EXPECT_EQ(loaded.getLocation(i), nullptr);
        }
    }
}

TEST_F(SettingsFileTest, EndOfFileMessageNamesAnUnnamedFile) {
    ASSERT_TRUE(hasString(7900) && hasString(kIdsFileEndOfFile))
        << "the settings-file texts are missing from the string table";
    writeFile({0x00, 0x01});
    EXPECT_FALSE(settings.load());
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].text,
              "File Error on Read: An attempt was made to access an unnamed file past its end.");
}

TEST_F(SettingsFileTest, OtherSchemaIsReadWithTheSameLayout) {
    Bytes file = kWorkedExample;
    file[5] = 0x07;
    ASSERT_TRUE(settings.loadFromBuffer(file.data(), file.size()));
    ASSERT_EQ(settings.count(), 1);
    EXPECT_EQ(*settings.getLocation(0), named("A"));
}

TEST_F(SettingsFileTest, MissingFileLoadsEmptyWithoutReport) {
    EXPECT_TRUE(settings.load());
    EXPECT_EQ(settings.count(), 0);
    EXPECT_EQ(settings.lastLocationName, "");
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(SettingsFileTest, PathsThatAreNoRegularFileAreBadPathsBothWays) {
    const fs::path fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(dir / "plain") << "x";
    fs::create_symlink(dir / "loop2", dir / "loop1");
    fs::create_symlink(dir / "loop1", dir / "loop2");
    for (const std::string& path :
         {dir.string(), fifo.string(), std::string("/dev/zero"), (dir / "plain" / "x").string(),
          std::string(), (dir / "loop1").string()}) {
        SCOPED_TRACE(path);
        reporter.reports.clear();
        settings.path = path;
        settings.removeAll();
        settings.append(named("A"));
        EXPECT_FALSE(settings.load());
        EXPECT_FALSE(settings.save());
        ASSERT_EQ(reporter.reports.size(), 2u);
        EXPECT_EQ(reporter.reports[0].messageId, 7900u);
        EXPECT_EQ(reporter.reports[0].descriptionId, kIdsFileBadPath);
        EXPECT_EQ(reporter.reports[1].messageId, 7901u);
        EXPECT_EQ(reporter.reports[1].descriptionId, kIdsFileBadPath);
        EXPECT_EQ(settings.count(), 1); // a failed open changes nothing in memory
    }
    EXPECT_TRUE(fs::is_symlink(dir / "loop1"));
    EXPECT_TRUE(fs::is_symlink(dir / "loop2"));
}

TEST_F(SettingsFileTest, FailedWriteKeepsThePreviousFile) {
    settings.append(named("A"));
    ASSERT_TRUE(settings.save());
    const Bytes before = fileBytes();

    settings.append(named("B"));
    int calls = 0;
    settings.setWriteFunction([&calls](int fd, const void* data, std::size_t size) -> ssize_t {
        if (++calls == 1)
            return ::write(fd, data, size < 10 ? size : 10);
        errno = ENOSPC;
        return -1;
    });
    EXPECT_FALSE(settings.save());
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].messageId, 7901u);
    EXPECT_EQ(reporter.reports[0].descriptionId, kIdsFileDiskFull);
    EXPECT_EQ(fileBytes(), before);
    EXPECT_EQ(settings.count(), 2);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir))
        ++entries;
    EXPECT_EQ(entries, 1); // the partial file was removed

    settings.setWriteFunction(
        [](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); });
    ASSERT_TRUE(settings.save());
    EXPECT_EQ(fileBytes(), settings.serializedBytes());
}

TEST_F(SettingsFileTest, ReadOnlyFileIsNotReplaced) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    writeFile({0x00, 0x00, 0x00});
    fs::permissions(settings.path, fs::perms::owner_read);
    settings.append(named("A"));
    EXPECT_FALSE(settings.save());
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].descriptionId, kIdsFileAccessDenied);
    EXPECT_EQ(fileBytes(), (Bytes{0x00, 0x00, 0x00}));
}

// A folder that takes no new files (an installed program's folder) may hold a settings file the
// user may still write: saving rewrites it in place; a file the user may not write is reported.
// Runs as an unprivileged user in a child process, since permissions do not bind the superuser.
TEST_F(SettingsFileTest, FolderWithoutNewFilesRewritesAWritableFileInPlace) {
    const struct {
        fs::perms fileMode;
        bool saved;
    } cases[] = {
        {fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
             fs::perms::group_write | fs::perms::others_read | fs::perms::others_write,
         true},
        {fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.saved);
        fs::permissions(dir, fs::perms::owner_all);
        writeFile({0x00, 0x00, 0x00});
        fs::permissions(settings.path, c.fileMode);
        fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read |
                                 fs::perms::others_exec);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                _exit(2);
            CCapturingReporter childReporter;
            CSettingsFile saving;
            saving.path = settings.path;
            saving.setReporter(&childReporter);
            saving.append(named("A"));
            const bool saved = saving.save();
            if (saved != c.saved)
                _exit(3);
            if (saved)
                _exit(childReporter.reports.empty() ? 0 : 4);
            _exit(childReporter.reports.size() == 1 &&
                          childReporter.reports[0].descriptionId == kIdsFileAccessDenied &&
                          childReporter.reports[0].text ==
                              "File Error on Write: Access to " + settings.path + " was denied."
                      ? 0
                      : 5);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        fs::permissions(dir, fs::perms::owner_all);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(fileBytes(), c.saved ? kWorkedExample : Bytes({0x00, 0x00, 0x00}));
        std::size_t entries = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir))
            ++entries;
        EXPECT_EQ(entries, 1u);
    }
}

TEST_F(SettingsFileTest, ReplacementKeepsOwnerAndPermissions) {
    writeFile({0x00, 0x00, 0x00});
    ::chmod(settings.path.c_str(), 0640);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(settings.path.c_str(), 65534, 65534), 0);
    }
    struct stat before {};
    ASSERT_EQ(::stat(settings.path.c_str(), &before), 0);
    settings.append(named("A"));
    ASSERT_TRUE(settings.save());
    struct stat after {};
    ASSERT_EQ(::stat(settings.path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(fileBytes(), kWorkedExample);
}

TEST_F(SettingsFileTest, SaveThroughSymlinkReplacesTheTarget) {
    const fs::path real = dir / "real.dat";
    fs::create_symlink(real, settings.path);
    settings.append(named("A"));
    ASSERT_TRUE(settings.save());
    EXPECT_TRUE(fs::is_symlink(settings.path));
    EXPECT_EQ(fileBytes(), kWorkedExample);
}

TEST_F(SettingsFileTest, MissingDirectoryIsNotReported) {
    settings.path = (dir / "absent" / "VNTLSettings.dat").string();
    EXPECT_FALSE(settings.save());
    EXPECT_TRUE(reporter.reports.empty());
}
