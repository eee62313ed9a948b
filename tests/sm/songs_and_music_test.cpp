// The ddr files of a song taken together, and the music put beside a simfile.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sm/ddr_songs.hpp"
#include "sm/music_file.hpp"
#include "test_support.hpp"
#include "text/note_codes.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::J;

TEST(DdrSongStem, ReadsTheSuffixThatMsdToDdrWrites) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"song_sb.ddr", "song"},   {"song_ca.ddr", "song"},    {"song_dm.ddr", "song"},
        {"dir/a_b_sm.ddr", "a_b"}, {"SONG_SB.DDR", "SONG"},    {J("曲_db.ddr"), J("曲")},
        {"song.ddr", {}},          {"song_xb.ddr", {}},        {"song_sx.ddr", {}},
        {"song-sb.ddr", {}},       {"_sb.ddr", {}},            {"song_sb.msd", {}},
        {"song_sbb.ddr", {}},      {"song_sb.ddr.bak", {}},
    };
    for (const auto& [file, stem] : cases) EXPECT_EQ(DdrSongStem(file), stem) << file;
}

TEST(GroupDdrSongs, TakesOneStemsChartsTogetherAndLeavesOtherFilesAlone) {
    const std::vector<fs::path> files = {"d/song_dm.ddr", "d/other.ddr", "d/song_sb.ddr", "d/song.ddr",
                                         "d/song_cb.ddr", "d/song_sm.ddr", "d/x_sa.ddr",  "d/song_sa.ddr"};
    const auto songs = GroupDdrSongs(files);
    ASSERT_EQ(songs.size(), 4u);
    EXPECT_EQ(songs[0].name, "song");
    EXPECT_EQ(songs[0].files, (std::vector<fs::path>{"d/song_sb.ddr", "d/song_sa.ddr", "d/song_sm.ddr",
                                                     "d/song_cb.ddr", "d/song_dm.ddr"}));
    EXPECT_EQ(songs[1].name, "other");
    EXPECT_EQ(songs[1].files, std::vector<fs::path>{"d/other.ddr"});
    // Its name is the other song's stem: a collision for the caller, not one song.
    EXPECT_EQ(songs[2].name, "song");
    EXPECT_EQ(songs[2].files, std::vector<fs::path>{"d/song.ddr"});
    EXPECT_EQ(songs[3].name, "x");
}

class MusicFolder : public ::testing::Test {
protected:
    void Put(const std::string& name, const std::string& bytes = "RIFF") { test::WriteFile(temp_ / "src" / name, bytes); }
    fs::path Source() const { return temp_ / "src" / "song.msd"; }
    fs::path Out() const { return temp_ / "out"; }

    void SetUp() override { fs::create_directories(temp_ / "src"); }
    test::TempDir temp_;
};

TEST_F(MusicFolder, FindsTheNameWithoutCaseInEitherEncoding) {
    Put("Song.WAV");
    EXPECT_EQ(FindMusicFile(temp_ / "src", "C:\\music\\song.wav"), temp_ / "src" / "Song.WAV");
    Put(J("曲A.ogg"));
    EXPECT_EQ(FindMusicFile(temp_ / "src", J("曲a.OGG")), temp_ / "src" / J("曲A.ogg"));
    Put("ソング.mp3");  // a UTF-8 name on disk
    EXPECT_EQ(FindMusicFile(temp_ / "src", J("ソング.MP3")), temp_ / "src" / "ソング.mp3");
    EXPECT_EQ(FindMusicFile(temp_ / "src", "missing.wav"), std::nullopt);
    EXPECT_EQ(FindMusicFile(temp_ / "src", "dir\\"), std::nullopt);
}

TEST_F(MusicFolder, PrefersTheNameEqualByteForByte) {
    Put("song.wav", "a");
    Put("SONG.wav", "b");
    EXPECT_EQ(FindMusicFile(temp_ / "src", "SONG.wav"), temp_ / "src" / "SONG.wav");
    EXPECT_EQ(FindMusicFile(temp_ / "src", "song.wav"), temp_ / "src" / "song.wav");
}

TEST_F(MusicFolder, LinksTheMusicUnderTheUtf8NameOnce) {
    Put(J("曲.wav"), "music bytes");
    ErrorList errors;
    ASSERT_TRUE(PlaceMusicFile(Source(), J("曲.wav"), "曲.wav", Out(), errors));
    const fs::path placed = Out() / "曲.wav";
    EXPECT_EQ(test::ReadFile(placed), "music bytes");
    EXPECT_TRUE(fs::equivalent(placed, temp_ / "src" / J("曲.wav")));  // a hard link, not a copy
    ASSERT_TRUE(PlaceMusicFile(Source(), J("曲.wav"), "曲.wav", Out(), errors));
    EXPECT_TRUE(errors.Notes().empty());
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(Out())) ++files;
    EXPECT_EQ(files, 1u);  // no temporary file left
}

TEST_F(MusicFolder, ReplacesAnOlderFileOfTheName) {
    Put("song.wav", "new");
    fs::create_directories(Out());
    test::WriteFile(Out() / "song.wav", "old");
    LinkMusicFile(temp_ / "src" / "song.wav", Out(), "song.wav");
    EXPECT_EQ(test::ReadFile(Out() / "song.wav"), "new");
}

TEST_F(MusicFolder, NotesMusicThatIsNotThere) {
    ErrorList errors;
    EXPECT_FALSE(PlaceMusicFile(Source(), "gone.wav", "gone.wav", Out(), errors));
    EXPECT_FALSE(PlaceMusicFile(Source(), "", "", Out(), errors));
    EXPECT_EQ(errors.Notes(), (std::vector<Note>{{std::string(note::kMusicMissing), "", "gone.wav"},
                                                 {std::string(note::kMusicMissing), "", ""}}));
    EXPECT_FALSE(fs::exists(Out() / "gone.wav"));
}

}  // namespace
}  // namespace torvane
