// A whole file-mode reception driven through the real dialogs of the desktop program.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/DesktopApp.h"
#include "app/MainWindow.h"
#include "app/ReceptionModeDialog.h"
#include "db/Connection.h"
#include "db/Schema.h"
#include "reports/PreviewWindow.h"
#include "support/FileDialogInput.h"
#include "support/PacketFixture.h"
#include "support/RecordingMessages.h"

using namespace svod;
using namespace svod::app;
using svod::test::RecordingMessages;

namespace {
// Answers every modal window that appears: the mode dialog with OK, the file dialog with the
// given file, message boxes with their default button; records what the boxes said.
class ModalAnswerer {
public:
    explicit ModalAnswerer(QString file) : file_(std::move(file)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
        timer_.start();
        qApp->installEventFilter(&showWatcher_);
    }
    ~ModalAnswerer() { qApp->removeEventFilter(&showWatcher_); }
    QStringList boxes;
    bool sawProgress = false;

private:
    void answer() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (modal->objectName() == QLatin1String("ProgressDialog"))
            return;
        if (auto* mode = qobject_cast<ReceptionModeDialog*>(modal)) {
            mode->findChild<QPushButton*>(QStringLiteral("Button2"))->click();
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            test::typeFileName(*dialog, file_);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes << box->text();
            box->defaultButton() ? box->defaultButton()->click() : box->accept();
        }
    }
    // A small packet is copied faster than the timer ticks: the dialog's showing is what counts.
    class ShowWatcher final : public QObject {
    public:
        explicit ShowWatcher(bool& seen) : seen_(seen) {}
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show && watched->objectName() == QLatin1String("ProgressDialog"))
                seen_ = true;
            return false;
        }

    private:
        bool& seen_;
    };

    QString file_;
    QTimer timer_;
    ShowWatcher showWatcher_{sawProgress};
};

class ReceptionWindows : public ::testing::Test {
protected:
    void SetUp() override {
        const QString dbPath = dir_.filePath(QStringLiteral("c.db"));
        {
            db::Connection c;
            c.open(QStringLiteral("sqlite:") + dbPath);
            db::createSchema(c);
            c.execute(QStringLiteral("insert into FILIALS (KOD, NAZVANIE) values ('01', 'Филиал Север')"));
        }
        QDir().mkpath(dir_.filePath(QStringLiteral("in")));
        ini_ = dir_.filePath(QStringLiteral("pr_vt.ini"));
        QFile f(ini_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[connect]\r\nstring=sqlite:%1\r\n").arg(dbPath).toUtf8());
    }
    QString packetFile(const test::SamplePacket& packet) {
        const QString a = dir_.filePath(QStringLiteral("in/A0105001.dbf"));
        test::writePacket(a, dir_.filePath(QStringLiteral("in/B0105001.dbf")), packet);
        return a;
    }
    QTemporaryDir dir_;
    QString ini_;
};
} // namespace

TEST_F(ReceptionWindows, AcceptedThroughTheDialogs) {
    const QString a = packetFile(test::samplePacket(3));
    RecordingMessages messages;
    DesktopApp app(ini_, messages, {});
    ASSERT_TRUE(app.start());
    app.mainWindow().show();
    ModalAnswerer answerer(a);
    app.mainWindow().action(QStringLiteral("N4"))->trigger();
    EXPECT_TRUE(messages.log.isEmpty()) << messages.log.join(u'\n').toStdString();
    ASSERT_EQ(answerer.boxes.size(), 2) << answerer.boxes.join(u'\n').toStdString();
    EXPECT_TRUE(answerer.boxes[0].contains(QStringLiteral("Филиал Север")))
        << answerer.boxes[0].toStdString();
    EXPECT_EQ(answerer.boxes[1], QStringLiteral("Прием данных успешно завершен."));
    EXPECT_TRUE(answerer.sawProgress);
    EXPECT_EQ(app.connection().scalar(QStringLiteral("select count(*) from INV where KOD_F = '01'")).toInt(),
              3);
    // The accepted files went to the archive, and the directory is remembered.
    EXPECT_TRUE(QFile::exists(dir_.filePath(QStringLiteral("in/RECEIVED/A0105001.dbf"))));
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(QDir(app.inDir()), QDir(dir_.filePath(QStringLiteral("in"))));
}

TEST_F(ReceptionWindows, RefusedWithTheComposedPreviewOpen) {
    test::SamplePacket packet = test::samplePacket(3);
    packet.items[0].group1.clear();
    packet.items[1].group1.clear();
    packet.items.append(packet.items[2]); // a repeated ID: a second protocol
    const QString a = packetFile(packet);
    RecordingMessages messages;
    DesktopApp app(ini_, messages, {});
    ASSERT_TRUE(app.start());
    app.mainWindow().show();
    ModalAnswerer answerer(a);
    app.mainWindow().action(QStringLiteral("N4"))->trigger();
    EXPECT_EQ(messages.log,
              QStringList{QStringLiteral("error: Ошибки при проверке данных. Данные не приняты.")});
    const auto windows = app.mainWindow().mdiArea()->subWindowList();
    ASSERT_EQ(windows.size(), 1);
    auto* preview = qobject_cast<reports::PreviewWindow*>(windows.front()->widget());
    ASSERT_NE(preview, nullptr);
    EXPECT_GE(preview->pageCount(), 2);
    EXPECT_TRUE(preview->find(QStringLiteral("Данные не приняты")));
    EXPECT_EQ(preview->foundPage(), 0);
    EXPECT_EQ(app.connection().scalar(QStringLiteral("select count(*) from INV")).toInt(), 0);
    EXPECT_TRUE(QFile::exists(a)) << "a refused packet stays where it was";
}

TEST_F(ReceptionWindows, InflationModeDialogHidesTheTestBranch) {
    RecordingMessages messages;
    DesktopApp app(ini_, messages, {});
    ASSERT_TRUE(app.start());
    bool testBoxVisible = true;
    bool asked = false;
    QTimer::singleShot(0, [&] {
        auto* mode = qobject_cast<ReceptionModeDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(mode, nullptr);
        asked = true;
        testBoxVisible = mode->testBranchVisible();
        mode->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    });
    app.mainWindow().action(QStringLiteral("N17"))->trigger();
    EXPECT_TRUE(asked);
    EXPECT_FALSE(testBoxVisible);
    EXPECT_TRUE(messages.log.isEmpty());
}

TEST_F(ReceptionWindows, TheSecondRefusalInOneRunCarriesTheBranchLinesAgain) {
    test::SamplePacket packet = test::samplePacket(2);
    packet.items[0].group1.clear();
    RecordingMessages messages;
    DesktopApp app(ini_, messages, {});
    ASSERT_TRUE(app.start());
    app.mainWindow().show();
    for (int run = 0; run < 2; ++run) {
        const QString a = packetFile(packet);
        ModalAnswerer answerer(a);
        app.mainWindow().action(QStringLiteral("N4"))->trigger();
        const auto windows = app.mainWindow().mdiArea()->subWindowList();
        ASSERT_EQ(windows.size(), run + 1);
        auto* preview = qobject_cast<reports::PreviewWindow*>(windows.back()->widget());
        ASSERT_NE(preview, nullptr);
        // The first protocol of each preview names the branch and the files.
        EXPECT_TRUE(preview->find(QStringLiteral("Филиал Север"))) << "run " << run;
        EXPECT_EQ(preview->foundPage(), 0);
        EXPECT_TRUE(preview->find(QStringLiteral("Принимаемые файлы"))) << "run " << run;
        EXPECT_EQ(preview->foundPage(), 0);
    }
    EXPECT_EQ(messages.log.size(), 2);
}

TEST_F(ReceptionWindows, AcceptedButNotArchivedShowsTheSuccessThenTheWarning) {
    const QString a = packetFile(test::samplePacket(2));
    QFile blocker(dir_.filePath(QStringLiteral("in/RECEIVED")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    RecordingMessages messages;
    DesktopApp app(ini_, messages, {});
    ASSERT_TRUE(app.start());
    app.mainWindow().show();
    ModalAnswerer answerer(a);
    app.mainWindow().action(QStringLiteral("N4"))->trigger();
    EXPECT_TRUE(messages.log.isEmpty()) << messages.log.join(u'\n').toStdString();
    ASSERT_EQ(answerer.boxes.size(), 3) << answerer.boxes.join(u'\n').toStdString();
    EXPECT_EQ(answerer.boxes[1], QStringLiteral("Прием данных успешно завершен."));
    EXPECT_TRUE(answerer.boxes[2].contains(QStringLiteral("A0105001.dbf")))
        << answerer.boxes[2].toStdString();
    EXPECT_TRUE(QFile::exists(a));
    EXPECT_EQ(app.connection().scalar(QStringLiteral("select count(*) from INV where KOD_F = '01'")).toInt(),
              2);
}
