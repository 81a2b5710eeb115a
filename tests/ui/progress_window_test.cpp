#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include "qt_environment.h"
#include "ui/qt_user_interface.h"

namespace korvane {
namespace {

using testing::MessageBoxAnswerer;
using testing::WaitUntil;

// Counts the paints a widget receives.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

class ProgressWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        owner.resize(400, 300);
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    }
    QMainWindow owner;
};

TEST_F(ProgressWindowTest, OwnerIsDisabledWhileShownAndEnabledAfterClose) {
    QtProgressWindow progress(&owner);
    ASSERT_TRUE(progress.Show());
    EXPECT_FALSE(owner.isEnabled());
    ASSERT_NE(progress.Window(), nullptr);
    EXPECT_TRUE(progress.Window()->isVisible());
    EXPECT_TRUE(progress.Window()->isEnabled());
    EXPECT_EQ(progress.PercentText()->text(), " 0 %");
    progress.Close();
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_EQ(progress.Window(), nullptr);
}

TEST_F(ProgressWindowTest, AnOwnerAlreadyDisabledStaysDisabled) {
    owner.setEnabled(false);
    {
        QtProgressWindow progress(&owner);
        ASSERT_TRUE(progress.Show());
    }
    EXPECT_FALSE(owner.isEnabled());
    owner.setEnabled(true);
}

TEST_F(ProgressWindowTest, CancelThenNoGoesOnAndTheNextPressAsksAgain) {
    QtProgressWindow progress(&owner);
    ASSERT_TRUE(progress.Show());
    MessageBoxAnswerer answerer({QMessageBox::No, QMessageBox::Yes});
    EXPECT_FALSE(progress.PollCancel());
    EXPECT_TRUE(answerer.boxes.empty());

    QTest::mouseClick(progress.CancelButton(), Qt::LeftButton);
    // The press only asks the operation to stop: the window stays.
    EXPECT_TRUE(progress.Window()->isVisible());
    EXPECT_FALSE(progress.PollCancel());
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].text, "Are you sure want to Cancel?");
    EXPECT_EQ(answerer.boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_FALSE(progress.PollCancel());
    EXPECT_EQ(answerer.boxes.size(), 1u);

    QTest::mouseClick(progress.CancelButton(), Qt::LeftButton);
    EXPECT_TRUE(progress.PollCancel());
    EXPECT_EQ(answerer.boxes.size(), 2u);
}

TEST_F(ProgressWindowTest, TwoPressesBeforeThePollAskOnce) {
    QtProgressWindow progress(&owner);
    ASSERT_TRUE(progress.Show());
    MessageBoxAnswerer answerer({QMessageBox::No});
    QTest::mouseClick(progress.CancelButton(), Qt::LeftButton);
    QTest::mouseClick(progress.CancelButton(), Qt::LeftButton);
    EXPECT_FALSE(progress.PollCancel());
    EXPECT_FALSE(progress.PollCancel());
    EXPECT_EQ(answerer.boxes.size(), 1u);
}

TEST_F(ProgressWindowTest, ClosingTheWindowAsksLikeCancelUnlessCancelIsHidden) {
    QtProgressWindow progress(&owner);
    ASSERT_TRUE(progress.Show());
    MessageBoxAnswerer answerer({QMessageBox::Yes});
    progress.Window()->close();
    EXPECT_TRUE(progress.Window()->isVisible());
    EXPECT_TRUE(progress.PollCancel());

    QtProgressWindow fixed(&owner);
    fixed.SetShowCancel(false);
    ASSERT_TRUE(fixed.Show());
    EXPECT_FALSE(fixed.CancelButton()->isVisible());
    fixed.Window()->close();
    QTest::keyClick(fixed.Window(), Qt::Key_Escape);
    EXPECT_FALSE(fixed.PollCancel());
    EXPECT_EQ(answerer.boxes.size(), 1u);
}

TEST_F(ProgressWindowTest, SamePositionDoesNotRedrawThePercentage) {
    QtProgressWindow progress(&owner);
    progress.SetRange(0, 200);
    ASSERT_TRUE(progress.Show());
    PaintCounter counter(progress.PercentText());
    EXPECT_EQ(progress.SetPosition(42), 0);
    ASSERT_TRUE(WaitUntil([&] { return counter.paints > 0; }));
    EXPECT_EQ(progress.PercentText()->text(), "42%");
    QTest::qWait(50);
    const int painted = counter.paints;

    EXPECT_EQ(progress.SetPosition(42), 42);
    QTest::qWait(50);
    EXPECT_EQ(counter.paints, painted);

    EXPECT_EQ(progress.SetPosition(43), 42);
    ASSERT_TRUE(WaitUntil([&] { return counter.paints > painted; }));
    EXPECT_EQ(progress.PercentText()->text(), "43%");
}

TEST_F(ProgressWindowTest, TextsAndRangeReachTheWindow) {
    QtProgressWindow progress(&owner);
    progress.SetTitle("Building catalogue");
    progress.SetRange(10, 20);
    ASSERT_TRUE(progress.Show());
    progress.SetFirstLine("/srv/users");
    progress.SetSecondLine("report.doc");
    EXPECT_EQ(progress.Window()->windowTitle(), "Building catalogue");
    EXPECT_TRUE(progress.Window()->findChild<QLabel*>() != nullptr);
    QStringList texts;
    for (QLabel* label : progress.Window()->findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains("/srv/users"));
    EXPECT_TRUE(texts.contains("report.doc"));
}

TEST(ProgressWindowWithoutOwner, Works) {
    QtProgressWindow progress(nullptr);
    ASSERT_TRUE(progress.Show());
    EXPECT_EQ(progress.SetPosition(7), 0);
    EXPECT_FALSE(progress.PollCancel());
    progress.Close();
    progress.Close();
}

TEST(StatusWindow, IsPaintedWhenShownAndGoesWithItsObject) {
    QPointer<QDialog> window;
    {
        QtStatusWindow status("Please wait", "Initializing...", "Reading folders into memory...", "", "");
        window = status.Window();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->isVisible());
        ASSERT_NE(window->windowHandle(), nullptr);
        EXPECT_TRUE(window->windowHandle()->isExposed());
        EXPECT_EQ(window->windowTitle(), "Please wait");
        status.SetLine2("Reading 1,000 folders...");
        QStringList texts;
        for (QLabel* label : window->findChildren<QLabel*>())
            texts << label->text();
        EXPECT_TRUE(texts.contains("Initializing..."));
        EXPECT_TRUE(texts.contains("Reading 1,000 folders..."));
        EXPECT_TRUE(window->findChildren<QPushButton*>().isEmpty());
        // No close button: closing it asks nothing and changes nothing.
        window->close();
        EXPECT_TRUE(window->isVisible());
    }
    EXPECT_EQ(window, nullptr);
}

TEST(MessageBoxes, IconsButtonsAndAnswers) {
    QtUserInterface ui;
    MessageBoxAnswerer answerer({QMessageBox::No, QMessageBox::Cancel, QMessageBox::Retry});
    EXPECT_EQ(ui.ShowMessage("Delete?", MessageIcon::Question, MessageButtons::YesNo), MessageAnswer::No);
    EXPECT_EQ(ui.ShowMessage("Save?", MessageIcon::Exclamation, MessageButtons::YesNoCancel),
              MessageAnswer::Cancel);
    EXPECT_EQ(ui.ShowMessage("Again?", MessageIcon::Stop, MessageButtons::RetryCancel), MessageAnswer::Retry);
    EXPECT_EQ(ui.ShowMessage("Done.", MessageIcon::Information, MessageButtons::Ok), MessageAnswer::Ok);
    ASSERT_EQ(answerer.boxes.size(), 4u);
    EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Question);
    EXPECT_EQ(answerer.boxes[1].icon, QMessageBox::Warning);
    EXPECT_EQ(answerer.boxes[1].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(answerer.boxes[2].icon, QMessageBox::Critical);
    EXPECT_EQ(answerer.boxes[3].icon, QMessageBox::Information);
    EXPECT_EQ(answerer.boxes[3].text, "Done.");
}

TEST(QtUserInterfaceProgress, DisablesTheMainWindow) {
    QMainWindow main;
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    QtUserInterface ui;
    ui.SetMainWindow(&main);
    EXPECT_TRUE(ui.Interactive());
    auto progress = ui.CreateProgressWindow();
    ASSERT_TRUE(progress->Show());
    EXPECT_FALSE(main.isEnabled());
    progress.reset();
    EXPECT_TRUE(main.isEnabled());
}

}  // namespace
}  // namespace korvane
