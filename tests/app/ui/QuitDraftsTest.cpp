#include "app/Drafts.h"
#include "app/ui/AppFixture.h"
#include "canvas/ui/CanvasPane.h"
#include "model/DocumentFile.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>

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
// Cancels the next file dialog the application opens, once it shows.
void cancelNextFileDialog() {
    auto* wait = new QTimer;
    wait->setInterval(10);
    QObject::connect(wait, &QTimer::timeout, [wait] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->reject();
        wait->deleteLater();
    });
    wait->start();
}
} // namespace

TEST_F(QuitDraftsTest, QuitSavesTitledDocumentsInPlaceAndUntitledOnesAsOneDraftEach) {
    const QString path = dir.filePath(QStringLiteral("titled.pintora"));
    ASSERT_EQ(writeDocumentFile(path, CanvasState::makeNew(QString())), QString());
    DocumentWindow* titled = app.documents().openFile(path);
    DocumentWindow* one = app.documents().newDocument();
    DocumentWindow* two = app.documents().newDocument();
    app.documents().newDocument(); // unedited: no draft
    addBoxes(titled, 3);
    addBoxes(one, 1);
    addBoxes(two, 2);

    EXPECT_EQ(app.saveAllDirtyForQuit(), QStringList());
    const QStringList written = drafts::list(draftsDir());
    QList<qsizetype> counts; // each in a file of its own: neither overwrites the other
    for (const QString& draft : written)
        counts.append(readDocumentFile(draft, QString()).value().items.size());
    std::sort(counts.begin(), counts.end());
    EXPECT_EQ(counts, (QList<qsizetype>{1, 2}));
    EXPECT_EQ(readDocumentFile(path, QString()).value().items.size(), 3);
    for (DocumentWindow* window : {titled, one, two})
        EXPECT_FALSE(window->isEdited());
    EXPECT_TRUE(one->filePath().isEmpty()); // a draft does not give the document a file

    // Quitting again writes the same drafts, not new ones.
    addBoxes(one, 1);
    app.saveAllDirtyForQuit();
    EXPECT_EQ(drafts::list(draftsDir()), written);
}

TEST_F(QuitDraftsTest, AFailedSaveAtQuitKeepsTheWorkForTheNextLaunchWhichSaysSo) {
    QDir(dir.path()).mkdir(QStringLiteral("gone"));
    const QString path = dir.filePath(QStringLiteral("gone/doc.pintora"));
    ASSERT_EQ(writeDocumentFile(path, CanvasState::makeNew(QString())), QString());
    DocumentWindow* window = app.documents().openFile(path);
    addBoxes(window, 1);
    QDir(dir.filePath(QStringLiteral("gone"))).removeRecursively();

    // No dialog at quit, which a logout would kill: the work goes into a draft.
    EXPECT_EQ(app.saveAllDirtyForQuit(), QStringList());
    ASSERT_EQ(drafts::list(draftsDir()).size(), 1);
    closeAll();
    QStringList reported;
    app.documents().setErrorReporter(
        [&](const QString& title, const QString& detail) { reported << title + u' ' + detail; });
    app.launch({});
    ASSERT_EQ(app.documents().windows().size(), 1);
    DocumentWindow* back = app.documents().windows()[0];
    EXPECT_EQ(back->filePath(), path);
    EXPECT_TRUE(back->isEdited());
    EXPECT_EQ(back->document()->state().items.size(), 1);
    ASSERT_EQ(reported.size(), 1);
    EXPECT_TRUE(reported[0].startsWith("“doc.pintora” could not be saved when Pintora quit."))
        << reported[0].toStdString();
}

TEST_F(QuitDraftsTest, EditsAreKeptInADraftWhileWorkingAndComeBackInTheirFilesWindow) {
    const QString path = dir.filePath(QStringLiteral("titled.pintora"));
    ASSERT_EQ(writeDocumentFile(path, CanvasState::makeNew(QString())), QString());
    const QByteArray saved = test::readAll(path);
    DocumentWindow* window = app.documents().openFile(path);
    addBoxes(window, 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->draftPath().isEmpty(); }, 10000))
        << "no draft a few seconds after the change";
    window->waitForDraft();
    EXPECT_EQ(test::readAll(path), saved) << "the user's own file is not touched";
    closeAll(); // as a crash would leave it

    // The next launch opens the work in its file's window, edited; Save writes it there.
    app.launch({path}); // the file asked for is the window already restored
    ASSERT_EQ(app.documents().windows().size(), 1);
    window = app.documents().windows()[0];
    EXPECT_EQ(window->filePath(), path);
    EXPECT_TRUE(window->isEdited());
    EXPECT_EQ(window->document()->state().items.size(), 2);

    // Changed on disk since, and the user picks the file: the recovered work goes.
    addBoxes(window, 1);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return readDocumentFile(window->draftPath(), {}).value().items.size() == 3; },
        10000));
    window->waitForDraft();
    closeAll();
    CanvasState changed = CanvasState::makeNew(QString());
    changed.items = {makeShape(ShapeKind::ellipse, QRectF(0, 0, 5, 5))};
    ASSERT_EQ(writeDocumentFile(path, changed), QString());
    int asked = 0;
    app.documents().setRecoveryQuestion([&](DocumentWindow*, std::function<void(bool)> answer) {
        ++asked;
        answer(false);
    });
    app.launch({});
    ASSERT_EQ(app.documents().windows().size(), 1);
    window = app.documents().windows()[0];
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(window->document()->state().items, changed.items);
    EXPECT_FALSE(window->isEdited());
    EXPECT_TRUE(drafts::list(draftsDir()).isEmpty());
}

TEST_F(QuitDraftsTest, AFileHasOneWindowWhateverThePathToIt) {
    const QString path = dir.filePath(QStringLiteral("one.pintora"));
    const QString link = dir.filePath(QStringLiteral("link.pintora"));
    ASSERT_EQ(writeDocumentFile(path, CanvasState::makeNew(QString())), QString());
    ASSERT_TRUE(QFile::link(path, link));
    DocumentWindow* window = app.documents().openFile(path);
    EXPECT_EQ(app.documents().openFile(link), window);
    EXPECT_EQ(app.documents().openFile(dir.path() + QStringLiteral("/./one.pintora")), window);
    // Saving another window onto it would overwrite one window's work with the other's.
    DocumentWindow* other = app.documents().newDocument();
    addBoxes(other, 1);
    answerNextQuestion(QStringLiteral("OK"));
    EXPECT_FALSE(other->saveTo(link));
    EXPECT_EQ(readDocumentFile(path, {}).value().items.size(), 0);
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
        ASSERT_EQ(writeDocumentFile(path, test::sampleState()), QString());

    app.launch({});
    const QList<DocumentWindow*> windows = app.documents().windows();
    ASSERT_EQ(windows.size(), 3); // the drafts, and no empty untitled one
    for (DocumentWindow* window : windows) {
        EXPECT_TRUE(window->filePath().isEmpty());
        window->document()->undoStack()->undo(); // nothing to undo makes it look saved
        EXPECT_TRUE(window->isEdited());
    }
    // A crash now would lose nothing: every draft is still there. Windows come in name order.
    EXPECT_EQ(drafts::list(draftsDir()), (QStringList{keep, save, drop}));

    const QString saved = dir.filePath(QStringLiteral("kept.pintora"));
    ASSERT_TRUE(windows[1]->saveTo(saved));
    EXPECT_FALSE(QFile::exists(save));

    answerNextQuestion(QStringLiteral("Don’t Save"));
    EXPECT_TRUE(windows[2]->close());
    EXPECT_FALSE(QFile::exists(drop));

    answerNextQuestion(QStringLiteral("Cancel"));
    EXPECT_FALSE(windows[0]->close());
    // Save, then no name given in the Save As dialog: the window and its work stay.
    answerNextQuestion(QStringLiteral("Save"));
    cancelNextFileDialog();
    EXPECT_FALSE(windows[0]->close());
    app.saveAllDirtyForQuit(); // rewrites the draft it came from
    EXPECT_EQ(drafts::list(draftsDir()), QStringList{keep});
    EXPECT_TRUE(QFile::exists(ignored));
}

TEST_F(QuitDraftsTest, ClosingWithWordsStillInTheEditorAsksFirstAndSavesThem) {
    const QString path = dir.filePath(QStringLiteral("note.pintora"));
    CanvasState state = CanvasState::makeNew(QString());
    TextItem note{.frame = QRectF(0, 0, 200, 60), .string = QStringLiteral("Old")};
    state.items.append(note);
    state.lastActiveTabRaw = QStringLiteral("annotate");
    ASSERT_EQ(writeDocumentFile(path, state), QString());
    DocumentWindow* window = app.documents().openFile(path);
    activate(window);
    auto* pane = window->findChild<CanvasPane*>();
    ASSERT_TRUE(pane->editText(note.id));
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane->textEditor()->hasFocus(); }));
    QTest::keyClick(pane->textEditor(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(pane->textEditor(), QStringLiteral(" and new"));
    answerNextQuestion(QStringLiteral("Save"));
    EXPECT_TRUE(window->close());
    EXPECT_EQ(readDocumentFile(path, QString()).value().items[0].text()->string,
              QStringLiteral("Old and new"));
}
