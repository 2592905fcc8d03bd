#include "app/Drafts.h"
#include "app/ui/AppFixture.h"
#include "model/DocumentFile.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

using namespace pintora;

namespace {
using QuitDraftsTest = test::AppFixture;

// Answers the next question the application asks by pressing the button with `text`.
void answerNextQuestion(const QString& text) {
    QTimer::singleShot(0, [text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* button : box->buttons())
            if (button->text() == text) return button->click();
        ADD_FAILURE() << "no button " << text.toStdString();
    });
}

CanvasState stateWithText(const QString& text) {
    CanvasState state = CanvasState::makeNew(QString());
    TextItem item;
    item.string = text;
    item.frame = QRectF(0, 0, 100, 40);
    state.items.append(item);
    return state;
}
} // namespace

TEST_F(QuitDraftsTest, QuitSavesTitledDocumentsInPlaceAndUntitledOnesAsOneDraftEach) {
    const QString path = dir.filePath(QStringLiteral("titled.pintora"));
    ASSERT_EQ(writeDocumentFile(path, CanvasState::makeNew(QString())), QString());
    DocumentWindow* titled = app.documents().openFile(path);
    DocumentWindow* untitled = app.documents().newDocument();
    DocumentWindow* clean = app.documents().newDocument();
    addBoxes(titled, 2);
    addBoxes(untitled, 1);

    EXPECT_EQ(app.saveAllDirtyForQuit(), QStringList());
    const QStringList written = drafts::list(draftsDir());
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(readDocumentFile(written[0], QString()).value().items,
              untitled->document()->state().items);
    EXPECT_EQ(readDocumentFile(path, QString()).value().items.size(), 2);
    for (DocumentWindow* window : {titled, untitled, clean})
        EXPECT_FALSE(window->isEdited());
    EXPECT_TRUE(untitled->filePath().isEmpty()); // a draft does not give the document a file

    // Quitting again writes the same draft, not a second one.
    addBoxes(untitled, 1);
    app.saveAllDirtyForQuit();
    EXPECT_EQ(drafts::list(draftsDir()), written);
}

TEST_F(QuitDraftsTest, AFailedSaveAtQuitIsReportedAndTheDocumentStaysEdited) {
    QDir(dir.path()).mkdir(QStringLiteral("gone"));
    const QString path = dir.filePath(QStringLiteral("gone/doc.pintora"));
    ASSERT_EQ(writeDocumentFile(path, CanvasState::makeNew(QString())), QString());
    DocumentWindow* window = app.documents().openFile(path);
    addBoxes(window, 1);
    QDir(dir.filePath(QStringLiteral("gone"))).removeRecursively();

    const QStringList failures = app.saveAllDirtyForQuit();
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].startsWith(QStringLiteral("doc.pintora: ")))
        << failures[0].toStdString();
    EXPECT_TRUE(window->isEdited());
}

TEST_F(QuitDraftsTest, LaunchOpensOneUntitledDocumentOnlyWhenNothingElseOpens) {
    app.launch({});
    ASSERT_EQ(app.documents().windows().size(), 1);
    EXPECT_TRUE(app.documents().windows()[0]->filePath().isEmpty());
    closeAll();

    const QString path = dir.filePath(QStringLiteral("given.pintora"));
    ASSERT_EQ(writeDocumentFile(path, CanvasState::makeNew(QString())), QString());
    app.launch({path});
    ASSERT_EQ(app.documents().windows().size(), 1);
    EXPECT_EQ(app.documents().windows()[0]->filePath(), path);

    app.reopen(); // a visible window is there: it is raised, nothing new opens
    EXPECT_EQ(app.documents().windows().size(), 1);
}

TEST_F(QuitDraftsTest, RestoredDraftsStayOnDiskUntilTheirWorkIsSafe) {
    QDir().mkpath(draftsDir());
    const QString keep = draftsDir() + QStringLiteral("/A.pintora");
    const QString save = draftsDir() + QStringLiteral("/B.pintora");
    const QString drop = draftsDir() + QStringLiteral("/C.pintora");
    const QString ignored = draftsDir() + QStringLiteral("/D.PINTORA");
    for (const QString& path : {keep, save, drop, ignored})
        ASSERT_EQ(writeDocumentFile(path, stateWithText(QFileInfo(path).baseName())), QString());

    app.launch({});
    const QList<DocumentWindow*> windows = app.documents().windows();
    ASSERT_EQ(windows.size(), 3); // the drafts, and no empty untitled one
    for (DocumentWindow* window : windows) {
        EXPECT_TRUE(window->filePath().isEmpty());
        window->document()->undoStack()->undo(); // nothing to undo makes it look saved
        EXPECT_TRUE(window->isEdited());
    }
    EXPECT_EQ(windows[0]->document()->state().items[0].text()->string, "A");
    // A crash now would lose nothing: every draft is still there.
    EXPECT_EQ(drafts::list(draftsDir()), (QStringList{keep, save, drop}));

    const QString saved = dir.filePath(QStringLiteral("kept.pintora"));
    ASSERT_TRUE(windows[1]->saveTo(saved));
    EXPECT_FALSE(QFile::exists(save));

    answerNextQuestion(QStringLiteral("Don’t Save"));
    EXPECT_TRUE(windows[2]->close());
    EXPECT_FALSE(QFile::exists(drop));

    answerNextQuestion(QStringLiteral("Cancel"));
    EXPECT_FALSE(windows[0]->close());
    app.saveAllDirtyForQuit(); // rewrites the draft it came from
    EXPECT_EQ(drafts::list(draftsDir()), QStringList{keep});
    EXPECT_TRUE(QFile::exists(ignored));
}
