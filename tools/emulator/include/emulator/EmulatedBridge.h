// The bridge board on an emulated usbdevfs node (umockdev), so that the real libusb code path
// talks to a simulated board: OUT urbs go to the board, IN urbs complete from its replies. An IN
// urb with no reply held waits until a later command leaves one, or until libusb discards it at
// its time-out. Works only in a process run with LD_PRELOAD=libumockdev-preload.so.0.
#pragma once

#include <umockdev.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "bridgesim/Board.h"

class EmulatedBridge {
  public:
    // The device identity is the board's vendor and product ID.
    explicit EmulatedBridge(std::shared_ptr<bridgesim::Board> board);
    ~EmulatedBridge();
    EmulatedBridge(const EmulatedBridge&) = delete;
    EmulatedBridge& operator=(const EmulatedBridge&) = delete;

    // True when the umockdev preload library is active in this process.
    static bool inMockEnvironment();

    // Adds the device to the emulated bus (an "add" event). False with error on failure.
    bool plug(std::string& error);
    // Pulls the cable: every later request fails with ENODEV, waiting urbs end with -ESHUTDOWN,
    // then the "remove" event.
    void unplug();
    // Plugs the board in again after unplug(), as a new device on the next address (the old
    // node stays dead, as after a real unplug). False with error on failure.
    bool replug(std::string& error);

    // Pulls the cable right after the count-th bulk transfer from now (count >= 1), as unplug()
    // does: the transfer itself completes, every later request fails.
    void cutCableAfterTransfers(std::uint32_t count);
    // True while the cable is out: after a cut or unplug(), until the next plug.
    bool cableCut() const;
    // Bulk transfers (urbs) submitted so far, on every node.
    std::uint32_t transfers() const;
    // Requests of every kind that reached a device node so far.
    int totalRequests() const;

    // Waits (bounded) until count IN urbs wait for a reply; false on the time-out.
    bool waitForWaitingReads(std::size_t count, std::chrono::milliseconds limit);
    // How often a request of this kind reached the device.
    int requests(unsigned long request) const;
    // The last interface selection: (interface, alternate setting), or (-1, -1).
    std::pair<int, int> lastSelection() const;

  private:
    static gboolean onIoctlThunk(UMockdevIoctlBase* base, UMockdevIoctlClient* client,
                                 gpointer self);
    gboolean onIoctl(UMockdevIoctlClient* client);
    gboolean submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    gboolean reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg,
                  std::deque<UMockdevIoctlData*>& completed);
    gboolean discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    // Completes the waiting IN urbs the board now has replies for.
    void serveWaitingReadsLocked();
    void completeLocked(UMockdevIoctlData* urb, int status, int actualLength);
    // The node answers ENODEV from now on and its waiting urbs end with -ESHUTDOWN.
    void cutCableLocked();
    // Detaches the board and sends the "remove" event; called without the lock.
    void announceRemoval(const std::string& sysfsPath);

    std::shared_ptr<bridgesim::Board> board_;
    UMockdevTestbed* testbed_ = nullptr;
    UMockdevIoctlBase* handler_ = nullptr;
    int generation_ = 0;  // plugs so far; names the node and the sysfs path
    std::string node_;
    std::string sysfsPath_;

    mutable std::mutex mutex_;
    std::condition_variable waitingChanged_;
    std::set<std::string> goneNodes_;          // unplugged: every request fails with ENODEV
    std::vector<UMockdevIoctlData*> waiting_;  // IN urbs of the live node waiting for a reply
    std::map<std::string, std::deque<UMockdevIoctlData*>> completed_;  // per node, to be reaped
    std::map<unsigned long, int> requests_;
    std::pair<int, int> selection_{-1, -1};
    std::uint32_t transfers_ = 0;
    std::uint32_t cutAtTransfer_ = 0;  // 0 = not armed
    bool cableCut_ = false;
    bool removalDue_ = false;  // a cut in this request: announce it once the lock is released
};
