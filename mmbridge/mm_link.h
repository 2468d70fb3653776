// The thin layer over ModemManager's client library: it follows the modem
// (one that comes late, goes or comes back), enables it, watches its calls
// and messages and carries out the bridge's requests, all on the GLib main
// loop. What the events mean for the frames is the bridge's to decide.
#pragma once

#include <libmm-glib.h>

#include <map>
#include <string>

#include "bridge.h"

class MmLink : public ModemRequests {
 public:
  // wanted: a modem's index or object path, or "" for the first there is.
  MmLink(GDBusConnection* bus, std::string wanted);
  void SetBridge(MmBridge* bridge) { bridge_ = bridge; }
  void Start();
  // Requests ModemManager has not answered yet.
  int Pending() const { return pending_; }

  void Dial(const std::string& number, std::function<void(const std::string&)> created,
            Done done) override;
  void Accept(const std::string& call, Done done) override;
  void HangUp(const std::string& call, Done done) override;
  void Send(const std::string& number, const std::string& utf8_text, Done done) override;
  void Delete(const std::string& message, Done done) override;

  // Runs after every event that may have moved the bridge's deadline.
  std::function<void()> on_event;
  // Runs when the last pending request is answered.
  std::function<void()> on_idle;

 private:
  using Then = std::function<void(GObject* source, GAsyncResult* result)>;
  struct Later {
    MmLink* link;
    Then then;
  };
  static void Finished(GObject* source, GAsyncResult* result, gpointer later);
  gpointer After(Then then);
  void Proxy(GType type, const char* interface, const std::string& path, Then then);

  static void OnManager(GObject*, GAsyncResult* result, gpointer self);
  static void OnObjectAdded(GDBusObjectManager*, GDBusObject*, gpointer self);
  static void OnObjectRemoved(GDBusObjectManager*, GDBusObject* object, gpointer self);
  static void OnNameOwner(GObject*, GParamSpec*, gpointer self);
  static void OnModemState(MMModem*, gint old_state, gint new_state, guint reason, gpointer self);
  static void OnCallAdded(MMModemVoice*, const gchar* path, gpointer self);
  static void OnCallDeleted(MMModemVoice*, const gchar* path, gpointer self);
  static void OnCallState(MMCall* call, gint old_state, gint new_state, guint reason,
                          gpointer self);
  static void OnCallNumber(MMCall* call, GParamSpec*, gpointer self);
  static void OnMessageAdded(MMModemMessaging*, const gchar* path, gboolean received,
                             gpointer self);
  static void OnMessageDeleted(MMModemMessaging*, const gchar* path, gpointer self);
  static void OnMessageState(MMSms* sms, GParamSpec*, gpointer self);

  bool Wanted(MMObject* object) const;
  void LookForModem();
  void Adopt(MMObject* object);
  void Drop();
  void Advance();
  void BecomeReady();
  void ListMessages();
  void TrackCall(MMCall* call, bool announce);
  void ForgetCall(const std::string& path);
  void RemoveCall(const std::string& path);
  void WatchMessage(MMSms* sms);
  MMCall* CallAt(const std::string& path) const;
  using CallRequest = void (*)(MMCall*, GCancellable*, GAsyncReadyCallback, gpointer);
  using CallFinish = gboolean (*)(MMCall*, GAsyncResult*, GError**);
  void OnCall(const std::string& path, CallRequest request, CallFinish finish, const char* failure,
              Done done);
  bool HasVoice(const Done& done) const;
  bool HasMessaging(const Done& done) const;

  GDBusConnection* bus_;
  std::string wanted_;
  MmBridge* bridge_ = nullptr;
  MMManager* manager_ = nullptr;
  MMObject* object_ = nullptr;  // the modem followed, with its interfaces
  MMModem* modem_ = nullptr;
  MMModemVoice* voice_ = nullptr;
  MMModemMessaging* messaging_ = nullptr;
  GCancellable* cancellable_ = nullptr;  // the modem's requests; cancelled when it goes
  bool manager_seen_ = false;            // whether ModemManager runs has been logged
  bool manager_running_ = false;
  bool enable_asked_ = false;
  bool ready_ = false;
  std::map<std::string, MMCall*> calls_;
  std::map<std::string, MMSms*> arriving_;  // messages still being received
  int pending_ = 0;
};
