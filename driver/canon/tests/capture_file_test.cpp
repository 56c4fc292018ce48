// Capture numbering, file names and the picture file that takes its name only when
// complete.
#include "lensport/capture_file.h"
#include "lensport/capture_naming.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

TEST(CaptureNaming, NumbersHaveAtLeastSixDigits) {
    const struct {
        const char* prefix;
        std::int32_t n;
        bool thumbnail;
        const char* name;
    } cases[] = {
        {"D:\\Out\\A_", 1, false, "D:\\Out\\A_000001.jpg"},
        {"D:\\Out\\A_", 1, true, "D:\\Out\\A_000001_TUMB.jpg"},
        {"/photos/IMG_", 7, false, "/photos/IMG_000007.jpg"},
        {"/photos/IMG_", 999999, false, "/photos/IMG_999999.jpg"},
        {"/photos/IMG_", 1000000, false, "/photos/IMG_1000000.jpg"},
        {"/photos/IMG_", 1000000, true, "/photos/IMG_1000000_TUMB.jpg"},
        {"", 12, false, "000012.jpg"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lensport::CaptureFileName(c.prefix, c.n, c.thumbnail), c.name);
}

TEST(CaptureNaming, CounterCountsUpFromOne) {
    const std::int32_t first = lensport::NextCaptureNumber();
    EXPECT_EQ(first, 1) << "nothing else in this program takes numbers";
    EXPECT_EQ(lensport::NextCaptureNumber(), first + 1);
}

TEST(CaptureNaming, FolderOfAPath) {
    EXPECT_EQ(lensport::FolderOf("/a/b/c_"), "/a/b");
    EXPECT_EQ(lensport::FolderOf("c_000001.jpg"), ".");
    EXPECT_EQ(lensport::FolderOf("/c_000001.jpg"), "/");
    EXPECT_EQ(lensport::FolderOf("rel/c_"), "rel");
}

class CaptureFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/capture-file-XXXXXX";
        folder_ = mkdtemp(pattern);
        name_ = folder_ + "/P_000001.jpg";
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::set<std::string> Entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.insert(entry.path().filename().string());
        return names;
    }
    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void WriteBlocks(lensport::CaptureFile& file, const std::string& bytes, std::size_t block) {
        for (std::size_t offset = 0; offset < bytes.size(); offset += block)
            file.Write(offset, bytes.data() + offset, std::min(block, bytes.size() - offset));
    }

    std::string folder_;
    std::string name_;
};

TEST_F(CaptureFileTest, CompleteTransferTakesTheNameAndNothingElseRemains) {
    const std::string bytes = "0123456789abcdefghij";
    lensport::CaptureFile file;
    ASSERT_TRUE(file.Begin(name_, bytes.size()));
    WriteBlocks(file, bytes, 7);
    // Until the end only the temporary file exists.
    EXPECT_FALSE(fs::exists(name_));
    EXPECT_EQ(Entries().size(), 1u);
    EXPECT_TRUE(file.Finish(true));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(Contents(name_), bytes);
    EXPECT_EQ(Entries(), std::set<std::string>{"P_000001.jpg"});
}

TEST_F(CaptureFileTest, PictureGetsTheUsualPermissions) {
    const mode_t mask = umask(022);
    lensport::CaptureFile file;
    ASSERT_TRUE(file.Begin(name_, 0));
    file.Write(0, "x", 1);
    ASSERT_TRUE(file.Finish(true));
    umask(mask);
    struct stat info {};
    ASSERT_EQ(stat(name_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(CaptureFileTest, BlocksLandAtTheirOffsets) {
    lensport::CaptureFile file;
    ASSERT_TRUE(file.Begin(name_, 6));
    file.Write(3, "def", 3);
    file.Write(0, "abc", 3);
    ASSERT_TRUE(file.Finish(true));
    EXPECT_EQ(Contents(name_), "abcdef");
}

TEST_F(CaptureFileTest, IncompleteTransferLeavesNoFileUnderTheName) {
    const struct {
        const char* what;
        bool transferOk;
        std::size_t written; // bytes of the announced 10
    } cases[] = {{"sender reported an error", false, 10},
                 {"fewer bytes than announced", true, 6},
                 {"nothing arrived", true, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(name_) << "an older picture";
        lensport::CaptureFile file;
        ASSERT_TRUE(file.Begin(name_, 10));
        file.Write(0, "0123456789", c.written);
        EXPECT_FALSE(file.Finish(c.transferOk));
        EXPECT_TRUE(Entries().empty()) << "neither the old picture nor the temporary file";
    }
}

TEST_F(CaptureFileTest, UnfinishedFileIsDiscardedWithItsObject) {
    std::ofstream(name_) << "an older picture";
    {
        lensport::CaptureFile file;
        ASSERT_TRUE(file.Begin(name_, 10));
        file.Write(0, "01234", 5);
    }
    EXPECT_EQ(Entries(), std::set<std::string>{"P_000001.jpg"});
    EXPECT_EQ(Contents(name_), "an older picture");
}

TEST_F(CaptureFileTest, StartingAgainDropsTheFirstAttempt) {
    lensport::CaptureFile file;
    ASSERT_TRUE(file.Begin(name_, 3));
    file.Write(0, "xyz", 3);
    ASSERT_TRUE(file.Begin(name_, 3));
    file.Write(0, "abc", 3);
    ASSERT_TRUE(file.Finish(true));
    EXPECT_EQ(Contents(name_), "abc");
    EXPECT_EQ(Entries().size(), 1u);
}

TEST_F(CaptureFileTest, MissingFolderIsReportedAtTheStart) {
    lensport::CaptureFile file;
    EXPECT_FALSE(file.Begin(folder_ + "/missing/P_000001.jpg", 3));
    EXPECT_EQ(file.Error(), ENOENT);
    EXPECT_FALSE(file.IsOpen());
    file.Write(0, "abc", 3); // dropped
    EXPECT_FALSE(file.Finish(true));
    EXPECT_TRUE(Entries().empty());
}

TEST_F(CaptureFileTest, FailedWriteSpoilsTheFile) {
    lensport::CaptureFile file;
    ASSERT_TRUE(file.Begin(name_, 3));
    file.Write(0, nullptr, 3);
    EXPECT_TRUE(file.IsOpen()) << "the transfer runs to its end";
    EXPECT_FALSE(file.Finish(true));
    EXPECT_EQ(file.Error(), EFAULT);
    EXPECT_TRUE(Entries().empty());
}

TEST_F(CaptureFileTest, NameTakenByAFolderIsKeptAndReported) {
    fs::create_directory(name_);
    lensport::CaptureFile file;
    ASSERT_TRUE(file.Begin(name_, 1));
    file.Write(0, "x", 1);
    EXPECT_FALSE(file.Finish(true));
    EXPECT_EQ(file.Error(), EISDIR);
    EXPECT_EQ(Entries(), std::set<std::string>{"P_000001.jpg"});
    EXPECT_TRUE(fs::is_directory(name_));
}

} // namespace
