// What the windowed program does for a catalogue on a server while it runs:
// when work met a lost connection it offers to connect again, and when
// another program commits a build it shows the new catalogue. Both wait
// until the program is idle (no catalogue work under way, no modal window,
// no progress window over the main window), so nothing is reloaded under a
// piece of work or a dialog that holds folders.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/catalogue_change_listener.h"

class QSocketNotifier;
class QWidget;

namespace korvane {

class CMainFrame;
struct ProgramState;

// The box that offers to connect again, showing the server's message; it
// tries each time the person says Reconnect and says why when that fails.
// True once the catalogue is connected again; false when the person closes
// the box (the catalogue stays as it was).
bool OfferToReconnect(Catalogue& catalogue, const std::string& message, QWidget* parent);

class CatalogueServerWatch : public QObject {
    Q_OBJECT
  public:
    // reload reads the catalogue again and has the windows show it; window
    // is the main window, the boxes' owner.
    CatalogueServerWatch(Catalogue& catalogue, std::function<bool()> reload, QWidget* window);
    ~CatalogueServerWatch() override;

    bool Listening() const { return listener_.Listening(); }
    // How many times the windows were shown the catalogue again.
    int Reloads() const { return reloads_; }

  private:
    bool Idle() const;
    void Look();
    void ReadNotices();
    void Listen();
    void Reload();

    Catalogue& catalogue_;
    std::function<bool()> reload_;
    QPointer<QWidget> window_;
    CatalogueChangeListener listener_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer timer_;
    QElapsedTimer since_listen_;
    bool listened_ = false;
    bool reload_pending_ = false;
    bool offering_ = false;
    int reloads_ = 0;
};

// Shows the open windows the catalogue as it is now (after the folder tree
// was loaded again): every query finds its starting folder again, every
// result finds its folder again by path and runs again, staying where it is
// among the windows.
void ShowCatalogueAgain(CMainFrame& frame);

// The watch of the program's catalogue when it is on a server, else none.
std::unique_ptr<CatalogueServerWatch> WatchServerCatalogue(ProgramState& state, CMainFrame& frame);

}  // namespace korvane
