// The delete command walks the ticked rows from top to bottom, asking about
// each, and removes record and row together.
#include "HistoryWindowFixture.h"

#include <QPushButton>

namespace vardocle::test {
namespace {

namespace fs = std::filesystem;

constexpr TAskDeleteResult Yes(bool deleteFile = false) {
    return {TAskDeleteAnswer::Yes, deleteFile};
}
constexpr TAskDeleteResult No() {
    return {TAskDeleteAnswer::No, false};
}
constexpr TAskDeleteResult All(bool deleteFile) {
    return {TAskDeleteAnswer::All, deleteFile};
}
constexpr TAskDeleteResult Cancel() {
    return {TAskDeleteAnswer::Cancel, false};
}

using Names = std::vector<std::string>;

class DeleteWalkTest : public HistoryWindowTest {
protected:
    void SetUp() override {
        AddRecordings({"a.avi", "b.avi", "c.avi", "d.avi"});
        Open();
        Window->Reload();
    }
};

TEST_F(DeleteWalkTest, YesNoYesRemovesFirstAndThirdEachBeforeTheNextQuestion) {
    Tick({true, true, true, false});
    Asked.DeleteAnswers = {Yes(true), No(), Yes(false)};
    std::vector<Names> storedAtQuestion;
    std::vector<Names> rowsAtQuestion;
    Asked.WhileAskingDelete = [&] {
        storedAtQuestion.push_back(StoredNames());
        rowsAtQuestion.push_back(RowNames());
    };
    Window->BtnDel->click();

    EXPECT_EQ(Asked.DeleteQuestions,
              (std::vector<QString>{QStringLiteral("你确实要删除记录 :a.avi  吗?"),
                                    QStringLiteral("你确实要删除记录 :b.avi  吗?"),
                                    QStringLiteral("你确实要删除记录 :c.avi  吗?")}));
    EXPECT_EQ(Asked.DeleteTitles.front(), QStringLiteral("提示"));
    const Names afterFirst{"b.avi", "c.avi", "d.avi"};
    EXPECT_EQ(storedAtQuestion,
              (std::vector<Names>{{"a.avi", "b.avi", "c.avi", "d.avi"}, afterFirst, afterFirst}));
    EXPECT_EQ(rowsAtQuestion, storedAtQuestion);

    EXPECT_EQ(RowNames(), (Names{"b.avi", "d.avi"}));
    EXPECT_EQ(StoredNames(), RowNames());
    EXPECT_EQ(Ticks(), (std::vector<bool>{true, false}));
    // The file goes only where the question's box was ticked.
    EXPECT_FALSE(fs::exists(Dir / "a.avi"));
    EXPECT_TRUE(fs::exists(Dir / "c.avi"));
    EXPECT_TRUE(Asked.Messages.empty());
    EXPECT_TRUE(Asked.Errors.empty());
}

TEST_F(DeleteWalkTest, AllAtTheFirstRemovesEveryTickedRowWithoutAskingAgain) {
    Tick({true, false, true, true});
    Asked.DeleteAnswers = {All(true)};
    Window->BtnDel->click();

    EXPECT_EQ(Asked.DeleteQuestions.size(), 1u);
    EXPECT_EQ(RowNames(), (Names{"b.avi"}));
    EXPECT_EQ(StoredNames(), (Names{"b.avi"}));
    for (const char* gone : {"a.avi", "c.avi", "d.avi"})
        EXPECT_FALSE(fs::exists(Dir / gone)) << gone;
    EXPECT_TRUE(fs::exists(Dir / "b.avi"));
}

TEST_F(DeleteWalkTest, AllKeepsFilesWhenItsBoxWasNotTicked) {
    Tick({false, true, true, false});
    Asked.DeleteAnswers = {All(false)};
    Window->BtnDel->click();
    EXPECT_EQ(StoredNames(), (Names{"a.avi", "d.avi"}));
    EXPECT_TRUE(fs::exists(Dir / "b.avi"));
    EXPECT_TRUE(fs::exists(Dir / "c.avi"));
}

TEST_F(DeleteWalkTest, CancelAtTheSecondKeepsItAndEveryRowAfterIt) {
    Tick({true, true, true, true});
    Asked.DeleteAnswers = {Yes(), Cancel()};
    Window->BtnDel->click();

    EXPECT_EQ(Asked.DeleteQuestions.size(), 2u);
    EXPECT_EQ(RowNames(), (Names{"b.avi", "c.avi", "d.avi"}));
    EXPECT_EQ(StoredNames(), RowNames());
    EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, true}));
}

TEST_F(DeleteWalkTest, TheRowThatMovesUpIsAskedAboutNext) {
    Tick({false, true, true, false});
    Asked.DeleteAnswers = {Yes(), Yes()};
    Window->BtnDel->click();
    EXPECT_EQ(Asked.DeleteQuestions,
              (std::vector<QString>{QStringLiteral("你确实要删除记录 :b.avi  吗?"),
                                    QStringLiteral("你确实要删除记录 :c.avi  吗?")}));
    EXPECT_EQ(StoredNames(), (Names{"a.avi", "d.avi"}));
    EXPECT_EQ(RowNames(), StoredNames());
}

TEST_F(DeleteWalkTest, NothingTickedAsksNothing) {
    Window->BtnDel->click();
    EXPECT_TRUE(Asked.DeleteQuestions.empty());
    EXPECT_EQ(StoredNames().size(), 4u);
}

TEST_F(DeleteWalkTest, AFileThatCannotBeDeletedStillLosesItsRecord) {
    fs::remove(Dir / "a.avi");
    fs::remove(Dir / "b.avi");
    fs::create_directory(Dir / "b.avi");
    std::ofstream(Dir / "b.avi" / "inside") << "x"; // a folder that is not empty
    Tick({true, true, false, false});
    Asked.DeleteAnswers = {All(true)};
    Window->BtnDel->click();
    EXPECT_EQ(StoredNames(), (Names{"c.avi", "d.avi"}));
    EXPECT_TRUE(Asked.Errors.empty());
}

TEST_F(DeleteWalkTest, AFailedRemovalStopsTheWalkAndKeepsRowRecordAndFile) {
    fs::create_directory(History.TempFilePath()); // the rewrite cannot create its file
    Tick({true, true, false, false});
    Asked.DeleteAnswers = {Yes(true)};
    Window->BtnDel->click();

    ASSERT_EQ(Asked.Errors.size(), 1u);
    EXPECT_TRUE(Asked.Errors[0].startsWith(QStringLiteral("Cannot create file \"")))
        << Asked.Errors[0].toStdString();
    EXPECT_EQ(Asked.DeleteQuestions.size(), 1u);
    EXPECT_EQ(RowNames(), (Names{"a.avi", "b.avi", "c.avi", "d.avi"}));
    EXPECT_EQ(StoredNames(), RowNames());
    EXPECT_TRUE(fs::exists(Dir / "a.avi"));
}

TEST_F(DeleteWalkTest, ARecordReplacedWhileTheListWasOpenTakesNoOtherRecordOrFile) {
    // A new recording to a.avi replaced its entry after the list was read.
    const HistoryRecord replaced = Window->RowRecord(0);
    History.DelSamePath(replaced.FilePath);
    History.AppendRecord(MakeHistoryRecord(replaced.FilePath, replaced.RecordTime + 1));
    Tick({true, true, false, false});
    Asked.DeleteAnswers = {All(true)};
    Window->BtnDel->click();

    EXPECT_EQ(StoredNames(), (Names{"c.avi", "d.avi", "a.avi"}));
    EXPECT_TRUE(fs::exists(Dir / "a.avi")) << "the new recording's file was deleted";
    EXPECT_FALSE(fs::exists(Dir / "b.avi"));
    ASSERT_EQ(Asked.Messages.size(), 1u);
    EXPECT_TRUE(Asked.Messages[0].contains(QStringLiteral("已被更改")));
    EXPECT_EQ(RowNames(), StoredNames());
}

} // namespace
} // namespace vardocle::test
