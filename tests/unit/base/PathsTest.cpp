#include "platform/base/Paths.h"
#include "platform/base/Errors.h"
#include "platform/base/Text.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace vardocle;

TEST(ChangeFileExt, ReplacesOrAppendsTheSoundExtension) {
    EXPECT_EQ(ChangeFileExt("/tmp/a.avi", ".Wav"), "/tmp/a.Wav");
    EXPECT_EQ(ChangeFileExt("/tmp/a.b.AVI", ".Wav"), "/tmp/a.b.Wav");
    EXPECT_EQ(ChangeFileExt("/tmp/movie", ".Wav"), "/tmp/movie.Wav");
    // A dot in a folder name is not an extension.
    EXPECT_EQ(ChangeFileExt("/tmp/v1.0/movie", ".Wav"), "/tmp/v1.0/movie.Wav");
}

TEST(FileErrors, CarryTheFullPathAndTheSystemText) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const std::string message = CannotCreateFileMessage("x/../y.wav", ENOENT);
    EXPECT_EQ(message,
              std::string("Cannot create file \"") + cwd + "/y.wav\". No such file or directory");
    EXPECT_EQ(CannotOpenFileMessage("/a/b", EACCES),
              "Cannot open file \"/a/b\". Permission denied");
}

TEST(DecodeLenient, SurvivesACutInsideAMultiByteCharacter) {
    const std::string text = "录制"; // 6 bytes in UTF-8
    const QString cut = DecodeLenient(text.substr(0, 4));
    EXPECT_TRUE(cut.startsWith(QString::fromUtf8("录")));
    EXPECT_EQ(cut.size(), 2); // one whole character and one replacement
}
