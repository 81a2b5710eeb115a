// Launch Explorer asks the desktop's file manager over the session bus when
// one is there: a bus daemon of the test's own, a file manager object served
// on it from a thread of its own, and the calls that object receives.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QProcess>
#include <QThread>
#include <QUrl>
#include <mutex>
#include <string>
#include <vector>

#include "ui/actions/result_actions.h"

namespace korvane {
namespace {

constexpr const char* kService = "org.freedesktop.FileManager1";

class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
  public:
    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> hold(lock_);
        return calls_;
    }

  public slots:
    void ShowItems(const QStringList& uris, const QString&) { Note("ShowItems", uris); }
    void ShowFolders(const QStringList& uris, const QString&) { Note("ShowFolders", uris); }

  private:
    void Note(const char* method, const QStringList& uris) {
        std::lock_guard<std::mutex> hold(lock_);
        calls_.push_back(std::string(method) + " " + uris.join(' ').toStdString());
    }
    std::mutex lock_;
    std::vector<std::string> calls_;
};

std::string UrlOf(const std::string& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path)).toString(QUrl::FullyEncoded).toStdString();
}

TEST(FileManagerOverTheBus, TheSelectedItemIsShownAndAFolderAloneIsOpened) {
    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    if (!daemon.waitForStarted(5000))
        GTEST_SKIP() << "no dbus-daemon to run a bus of the test's own";
    ASSERT_TRUE(daemon.waitForReadyRead(5000));
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    ASSERT_FALSE(address.isEmpty());

    QThread serving;
    auto* manager = new FakeFileManager;
    manager->moveToThread(&serving);
    QObject::connect(&serving, &QThread::finished, manager, &QObject::deleteLater);
    serving.start();
    {
        QDBusConnection service = QDBusConnection::connectToBus(address, "korvane-test-file-manager");
        QDBusConnection client = QDBusConnection::connectToBus(address, "korvane-test-client");
        ASSERT_TRUE(service.isConnected());
        ASSERT_TRUE(client.isConnected());
        const std::string folder = "/srv/data/Old Reports";
        const std::string item = folder + "/-q3 summary.doc";
        // Before any file manager is there, nothing answers on the bus.
        EXPECT_FALSE(client.interface()->isServiceRegistered(kService));
        ASSERT_TRUE(service.registerObject("/org/freedesktop/FileManager1", manager,
                                           QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service.registerService(kService));

        EXPECT_TRUE(ShowInFileManager(folder, item, client));
        EXPECT_TRUE(ShowInFileManager(folder, "", client));
        EXPECT_EQ(manager->Calls(),
                  (std::vector<std::string>{"ShowItems " + UrlOf(item), "ShowFolders " + UrlOf(folder)}));
        service.unregisterService(kService);
    }
    QDBusConnection::disconnectFromBus("korvane-test-client");
    QDBusConnection::disconnectFromBus("korvane-test-file-manager");
    serving.quit();
    serving.wait();
    daemon.kill();
    daemon.waitForFinished(5000);
}

}  // namespace
}  // namespace korvane

#include "file_manager_bus_test.moc"
