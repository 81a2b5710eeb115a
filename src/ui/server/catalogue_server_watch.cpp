#include "ui/server/catalogue_server_watch.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSocketNotifier>
#include <utility>

#include "program/catalogue_reload.h"
#include "program/program_state.h"
#include "ui/main_frame.h"
#include "ui/query/query_document.h"
#include "ui/result/result_document.h"

namespace korvane {
namespace {

// How often the watch looks for a lost connection and for idleness.
constexpr int kLookMilliseconds = 250;
// How long it waits between attempts to listen again.
constexpr qint64 kListenRetryMilliseconds = 5000;

QString Text(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The server's message with its lines joined where libpq indents the
// continuation of a sentence.
std::string Tidied(const std::string& message) {
    std::string text;
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\n' && i + 1 < message.size() && message[i + 1] == '\t') {
            text += ' ';
            while (i + 1 < message.size() && message[i + 1] == '\t')
                ++i;
        } else {
            text += message[i];
        }
    }
    return text;
}

}  // namespace

bool OfferToReconnect(Catalogue& catalogue, const std::string& message, QWidget* parent) {
    std::string text =
        "The connection to the catalogue server was lost:\n\n" + Tidied(message) +
        "\n\nWhat the catalogue holds is safe on the server. Reconnect to go on working with it.";
    for (;;) {
        QMessageBox box(parent);
        box.setObjectName(QStringLiteral("ReconnectBox"));
        box.setWindowTitle(QStringLiteral("Korvane"));
        box.setAccessibleName(QStringLiteral("Catalogue server connection lost"));
        box.setIcon(QMessageBox::Warning);
        box.setTextFormat(Qt::PlainText);
        box.setText(Text(text));
        QPushButton* reconnect = box.addButton(QStringLiteral("&Reconnect"), QMessageBox::AcceptRole);
        reconnect->setAccessibleName(QStringLiteral("Reconnect"));
        QPushButton* close = box.addButton(QStringLiteral("&Close"), QMessageBox::RejectRole);
        close->setAccessibleName(QStringLiteral("Close"));
        box.setDefaultButton(reconnect);
        box.setEscapeButton(close);
        box.exec();
        if (box.clickedButton() != reconnect)
            return false;
        std::string error;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const bool connected = catalogue.Reconnect(error);
        QApplication::restoreOverrideCursor();
        if (connected)
            return true;
        text = "Reconnecting failed.\n\n" + Tidied(error) +
               "\n\nNothing was changed. Reconnect to try again, or Close to go on without the server.";
    }
}

CatalogueServerWatch::CatalogueServerWatch(Catalogue& catalogue, std::function<bool()> reload,
                                           QWidget* window)
    : catalogue_(catalogue), reload_(std::move(reload)), window_(window) {
    catalogue_.set_offers_reconnect(true);
    Listen();
    connect(&timer_, &QTimer::timeout, this, &CatalogueServerWatch::Look);
    timer_.start(kLookMilliseconds);
}

CatalogueServerWatch::~CatalogueServerWatch() {
    catalogue_.set_offers_reconnect(false);
}

void CatalogueServerWatch::Listen() {
    notifier_.reset();
    since_listen_.start();
    std::string error;
    if (!catalogue_.OnServer() || !listener_.Listen(catalogue_.path(), error))
        return;
    // A build committed while nobody listened is seen only by reading again.
    if (std::exchange(listened_, true))
        reload_pending_ = true;
    notifier_ = std::make_unique<QSocketNotifier>(listener_.Socket(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &CatalogueServerWatch::ReadNotices);
}

void CatalogueServerWatch::ReadNotices() {
    std::vector<CatalogueChangeNotice> notices;
    const bool listening = listener_.TakeNotices(notices);
    // The program's own builds refresh its windows themselves.
    if (ChangedByOthers(notices, catalogue_.ServerProcessId()))
        reload_pending_ = true;
    if (!listening) {
        // Deleted later: this very notifier is calling.
        notifier_->setEnabled(false);
        notifier_.release()->deleteLater();
        since_listen_.start();
    }
    if (reload_pending_)
        Look();
}

bool CatalogueServerWatch::Idle() const {
    return !offering_ && !catalogue_.WorkUnderWay() && QApplication::activeModalWidget() == nullptr &&
           (window_ == nullptr || window_->isEnabled());
}

void CatalogueServerWatch::Look() {
    if (!Idle() || !catalogue_.IsOpen())
        return;
    std::string message;
    if (catalogue_.TakeConnectionLoss(message)) {
        offering_ = true;
        const bool connected = OfferToReconnect(catalogue_, message, window_);
        offering_ = false;
        if (!connected)
            return;
        if (!listener_.Listening())
            Listen();
        reload_pending_ = true;
    }
    if (!listener_.Listening() && !catalogue_.ConnectionLost() &&
        since_listen_.elapsed() >= kListenRetryMilliseconds)
        Listen();
    if (reload_pending_)
        Reload();
}

void CatalogueServerWatch::Reload() {
    reload_pending_ = false;
    if (reload_())
        ++reloads_;
}

void ShowCatalogueAgain(CMainFrame& frame) {
    // Queries first: the results run for the starting folders found again.
    for (WindowDocument* document : frame.Documents()) {
        if (auto* query = qobject_cast<CQueryDoc*>(document))
            query->ResolveStartingFolderAgain();
    }
    for (WindowDocument* document : frame.Documents()) {
        if (auto* result = qobject_cast<ResultWindowDocument*>(document))
            result->FollowCatalogueChange(false, false);
    }
}

std::unique_ptr<CatalogueServerWatch> WatchServerCatalogue(ProgramState& state, CMainFrame& frame) {
    if (!state.catalogue.OnServer())
        return nullptr;
    return std::make_unique<CatalogueServerWatch>(
        state.catalogue,
        [&state, &frame] {
            if (!ReloadCatalogueState(state))
                return false;
            ShowCatalogueAgain(frame);
            return true;
        },
        &frame);
}

}  // namespace korvane
