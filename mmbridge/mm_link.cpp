#include "mm_link.h"

#include <cstdio>
#include <cstring>

#include "program.h"

namespace {

constexpr char kModemPathPrefix[] = "/org/freedesktop/ModemManager1/Modem/";

std::string Text(const gchar* text) { return text ? text : ""; }

// True when ok; else the failure is logged, with ModemManager's reason.
bool Succeeded(gboolean ok, GError* error, const char* what) {
  if (!ok) fprintf(stderr, "202612081820 %s: %s\n", what, error ? error->message : "failed");
  g_clear_error(&error);
  return ok;
}

CallState StateOf(MMCallState state) {
  switch (state) {
    case MM_CALL_STATE_RINGING_IN:
    case MM_CALL_STATE_WAITING: return CallState::kRingingIn;
    case MM_CALL_STATE_ACTIVE: return CallState::kActive;
    case MM_CALL_STATE_TERMINATED: return CallState::kTerminated;
    default: return CallState::kOther;
  }
}

StoredMessage Stored(MMSms* sms) {
  return {Text(mm_sms_get_path(sms)), Text(mm_sms_get_number(sms)), Text(mm_sms_get_timestamp(sms)),
          Text(mm_sms_get_text(sms))};
}

}  // namespace

MmLink::MmLink(GDBusConnection* bus, std::string wanted)
    : bus_(bus), wanted_(std::move(wanted)), cancellable_(g_cancellable_new()) {}

// ---- Asynchronous requests ----

gpointer MmLink::After(Then then) {
  ++pending_;
  return new Later{this, std::move(then)};
}

void MmLink::Finished(GObject* source, GAsyncResult* result, gpointer later) {
  Later* done = static_cast<Later*>(later);
  MmLink* link = done->link;
  done->then(source, result);
  delete done;
  if (--link->pending_ == 0 && link->on_idle) link->on_idle();
  if (link->on_event) link->on_event();
}

// A client object of ModemManager's at path (a call, a message).
void MmLink::Proxy(GType type, const char* interface, const std::string& path, Then then) {
  g_async_initable_new_async(
      type, G_PRIORITY_DEFAULT, cancellable_, Finished, After(std::move(then)), "g-flags",
      G_DBUS_PROXY_FLAGS_DO_NOT_AUTO_START, "g-name", MM_DBUS_SERVICE, "g-connection", bus_,
      "g-object-path", path.c_str(), "g-interface-name", interface, nullptr);
}

// ---- The modem ----

void MmLink::Start() {
  mm_manager_new(bus_, G_DBUS_OBJECT_MANAGER_CLIENT_FLAGS_DO_NOT_AUTO_START, nullptr, OnManager,
                 this);
}

void MmLink::OnManager(GObject*, GAsyncResult* result, gpointer self) {
  MmLink* link = static_cast<MmLink*>(self);
  GError* error = nullptr;
  link->manager_ = mm_manager_new_finish(result, &error);
  if (!link->manager_) {
    fprintf(stderr, "202612081821 no ModemManager client: %s\n", error->message);
    g_clear_error(&error);
    exit(1);
  }
  g_signal_connect(link->manager_, "object-added", G_CALLBACK(OnObjectAdded), link);
  g_signal_connect(link->manager_, "object-removed", G_CALLBACK(OnObjectRemoved), link);
  g_signal_connect(link->manager_, "notify::name-owner", G_CALLBACK(OnNameOwner), link);
  OnNameOwner(nullptr, nullptr, link);
}

void MmLink::OnNameOwner(GObject*, GParamSpec*, gpointer self) {
  MmLink* link = static_cast<MmLink*>(self);
  gchar* owner =
      g_dbus_object_manager_client_get_name_owner(G_DBUS_OBJECT_MANAGER_CLIENT(link->manager_));
  bool running = owner != nullptr;
  g_free(owner);
  if (link->manager_seen_ && running == link->manager_running_) return;
  link->manager_seen_ = true;
  link->manager_running_ = running;
  fputs(running ? "202612081822 ModemManager is there\n"
                : "202612081823 ModemManager is not running\n",
        stderr);
  link->LookForModem();
}

bool MmLink::Wanted(MMObject* object) const {
  if (!mm_object_peek_modem(object)) return false;
  std::string path = mm_object_get_path(object);
  return wanted_.empty() || path == wanted_ || path == kModemPathPrefix + wanted_;
}

void MmLink::LookForModem() {
  if (object_) return;
  GList* objects = g_dbus_object_manager_get_objects(G_DBUS_OBJECT_MANAGER(manager_));
  MMObject* first = nullptr;  // the lowest index: the modem ModemManager found first
  for (GList* item = objects; item; item = item->next) {
    MMObject* object = MM_OBJECT(item->data);
    if (Wanted(object) &&
        (!first || strverscmp(mm_object_get_path(object), mm_object_get_path(first)) < 0))
      first = object;
  }
  if (first) Adopt(first);
  g_list_free_full(objects, g_object_unref);
}

void MmLink::OnObjectAdded(GDBusObjectManager*, GDBusObject*, gpointer self) {
  static_cast<MmLink*>(self)->LookForModem();
}

void MmLink::OnObjectRemoved(GDBusObjectManager*, GDBusObject* object, gpointer self) {
  MmLink* link = static_cast<MmLink*>(self);
  if (G_OBJECT(object) != G_OBJECT(link->object_)) return;
  link->Drop();
  link->LookForModem();
}

void MmLink::Adopt(MMObject* object) {
  object_ = MM_OBJECT(g_object_ref(object));
  modem_ = mm_object_get_modem(object);
  voice_ = mm_object_get_modem_voice(object);
  messaging_ = mm_object_get_modem_messaging(object);
  fprintf(stderr, "202612081824 modem %s found%s%s\n", mm_object_get_path(object),
          voice_ ? "" : ", without calls", messaging_ ? "" : ", without messages");
  g_signal_connect(modem_, "state-changed", G_CALLBACK(OnModemState), this);
  Advance();
}

void MmLink::Drop() {
  fprintf(stderr, "202612081825 modem %s gone\n", mm_object_get_path(object_));
  g_cancellable_cancel(cancellable_);
  g_object_unref(cancellable_);
  cancellable_ = g_cancellable_new();
  for (auto& [path, call] : calls_) {
    g_signal_handlers_disconnect_by_data(call, this);
    g_object_unref(call);
  }
  calls_.clear();
  for (auto& [path, sms] : arriving_) {
    g_signal_handlers_disconnect_by_data(sms, this);
    g_object_unref(sms);
  }
  arriving_.clear();
  for (gpointer part : {gpointer(modem_), gpointer(voice_), gpointer(messaging_)}) {
    if (!part) continue;
    g_signal_handlers_disconnect_by_data(part, this);
    g_object_unref(part);
  }
  g_clear_object(&object_);
  modem_ = nullptr;
  voice_ = nullptr;
  messaging_ = nullptr;
  enable_asked_ = false;
  if (ready_) bridge_->ModemLost();
  ready_ = false;
}

void MmLink::OnModemState(MMModem*, gint, gint new_state, guint, gpointer self) {
  MmLink* link = static_cast<MmLink*>(self);
  if (link->ready_ && new_state < MM_MODEM_STATE_ENABLED) {
    fputs("202612081826 the modem was disabled\n", stderr);
    link->ready_ = false;
    link->bridge_->ModemLost();
  }
  link->Advance();
}

// Enabled: ready. Disabled: asked to enable, once. Anything else: waited
// for (initialising, locked, failed, enabling).
void MmLink::Advance() {
  MMModemState state = mm_modem_get_state(modem_);
  if (state >= MM_MODEM_STATE_ENABLED && !ready_) {
    BecomeReady();
  } else if (state == MM_MODEM_STATE_DISABLED && !enable_asked_) {
    enable_asked_ = true;
    fputs("202612081827 enabling the modem\n", stderr);
    mm_modem_enable(modem_, cancellable_, Finished,
                    After([](GObject* source, GAsyncResult* result) {
                      GError* error = nullptr;
                      Succeeded(mm_modem_enable_finish(MM_MODEM(source), result, &error), error,
                                "the modem cannot be enabled");
                    }));
  } else if (state == MM_MODEM_STATE_LOCKED || state == MM_MODEM_STATE_FAILED) {
    fprintf(stderr, "202612081828 the modem is %s, waiting\n",
            state == MM_MODEM_STATE_LOCKED ? "locked" : "failed");
  }
}

void MmLink::BecomeReady() {
  ready_ = true;
  fprintf(stderr, "202612081829 modem %s ready\n", mm_object_get_path(object_));
  bridge_->ModemReady();
  if (voice_) {
    g_signal_connect(voice_, "call-added", G_CALLBACK(OnCallAdded), this);
    g_signal_connect(voice_, "call-deleted", G_CALLBACK(OnCallDeleted), this);
  }
  if (messaging_) {
    g_signal_connect(messaging_, "added", G_CALLBACK(OnMessageAdded), this);
    g_signal_connect(messaging_, "deleted", G_CALLBACK(OnMessageDeleted), this);
    ListMessages();
  }
}

// ---- Calls ----

MMCall* MmLink::CallAt(const std::string& path) const {
  auto found = calls_.find(path);
  return found == calls_.end() ? nullptr : found->second;
}

void MmLink::OnCallAdded(MMModemVoice*, const gchar* path, gpointer self) {
  MmLink* link = static_cast<MmLink*>(self);
  link->Proxy(
      MM_TYPE_CALL, MM_DBUS_INTERFACE_CALL, path, [link](GObject* source, GAsyncResult* result) {
        GError* error = nullptr;
        GObject* call = g_async_initable_new_finish(G_ASYNC_INITABLE(source), result, &error);
        if (Succeeded(call != nullptr, error, "a new call cannot be followed"))
          link->TrackCall(MM_CALL(call), true);
      });
}

// Follows the call's state and number; announce: the bridge hears of it
// (an outgoing call created by Dial it knows already).
void MmLink::TrackCall(MMCall* call, bool announce) {
  std::string path = mm_call_get_path(call);
  if (CallAt(path)) {
    g_object_unref(call);
    return;
  }
  calls_[path] = call;
  g_signal_connect(call, "state-changed", G_CALLBACK(OnCallState), this);
  g_signal_connect(call, "notify::number", G_CALLBACK(OnCallNumber), this);
  if (announce)
    bridge_->CallAdded(path, mm_call_get_direction(call) == MM_CALL_DIRECTION_INCOMING,
                       StateOf(mm_call_get_state(call)), Text(mm_call_get_number(call)),
                       MonotonicMs());
}

void MmLink::OnCallState(MMCall* call, gint, gint new_state, guint, gpointer self) {
  MmLink* link = static_cast<MmLink*>(self);
  std::string path = mm_call_get_path(call);
  CallState state = StateOf(static_cast<MMCallState>(new_state));
  link->bridge_->CallStateChanged(path, state);
  if (state == CallState::kTerminated) link->RemoveCall(path);
}

// A finished call is removed from the modem's list, where it would stay.
void MmLink::RemoveCall(const std::string& path) {
  if (!CallAt(path)) return;  // removed already
  ForgetCall(path);
  mm_modem_voice_delete_call(
      voice_, path.c_str(), cancellable_, Finished,
      After([path](GObject* source, GAsyncResult* result) {
        GError* error = nullptr;
        gboolean ok = mm_modem_voice_delete_call_finish(MM_MODEM_VOICE(source), result, &error);
        if (!ok && !g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
          fprintf(stderr, "202612081833 call %s not removed: %s\n", path.c_str(), error->message);
        g_clear_error(&error);
      }));
}

void MmLink::OnCallNumber(MMCall* call, GParamSpec*, gpointer self) {
  static_cast<MmLink*>(self)->bridge_->CallNumberLearnt(mm_call_get_path(call),
                                                        Text(mm_call_get_number(call)));
}

void MmLink::OnCallDeleted(MMModemVoice*, const gchar* path, gpointer self) {
  MmLink* link = static_cast<MmLink*>(self);
  if (!link->CallAt(path)) return;
  link->bridge_->CallStateChanged(path, CallState::kTerminated);
  link->ForgetCall(path);
}

void MmLink::ForgetCall(const std::string& path) {
  MMCall* call = CallAt(path);
  if (!call) return;
  g_signal_handlers_disconnect_by_data(call, this);
  g_object_unref(call);
  calls_.erase(path);
}

bool MmLink::HasVoice(const Done& done) const {
  if (voice_) return true;
  fputs("202612081834 the modem offers no calls\n", stderr);
  done(false);
  return false;
}

void MmLink::Dial(const std::string& number, std::function<void(const std::string&)> created,
                  Done done) {
  if (!HasVoice(done)) return;
  MMCallProperties* properties = mm_call_properties_new();
  mm_call_properties_set_number(properties, number.c_str());
  mm_modem_voice_create_call(
      voice_, properties, cancellable_, Finished,
      After([this, created, done](GObject* source, GAsyncResult* result) {
        GError* error = nullptr;
        MMCall* call = mm_modem_voice_create_call_finish(MM_MODEM_VOICE(source), result, &error);
        if (!Succeeded(call != nullptr, error, "the call cannot be created")) {
          done(false);
          return;
        }
        std::string path = mm_call_get_path(call);
        TrackCall(MM_CALL(g_object_ref(call)), false);
        created(path);
        mm_call_start(call, cancellable_, Finished,
                      After([this, call, path, done](GObject*, GAsyncResult* result) {
                        GError* error = nullptr;
                        bool started = Succeeded(mm_call_start_finish(call, result, &error), error,
                                                 "the call cannot start");
                        g_object_unref(call);
                        if (!started) RemoveCall(path);
                        done(started);
                      }));
      }));
  g_object_unref(properties);
}

// One of libmm-glib's requests on a call: its start and its finish.
void MmLink::OnCall(const std::string& path, CallRequest request, CallFinish finish,
                    const char* failure, Done done) {
  MMCall* call = CallAt(path);
  if (!call) {
    done(false);
    return;
  }
  request(call, cancellable_, Finished,
          After([call, finish, failure, done](GObject*, GAsyncResult* result) {
            GError* error = nullptr;
            done(Succeeded(finish(call, result, &error), error, failure));
          }));
}

void MmLink::Accept(const std::string& path, Done done) {
  OnCall(path, mm_call_accept, mm_call_accept_finish, "the call cannot be accepted", done);
}

void MmLink::HangUp(const std::string& path, Done done) {
  OnCall(path, mm_call_hangup, mm_call_hangup_finish, "the call cannot be ended", done);
}

// ---- Messages ----

bool MmLink::HasMessaging(const Done& done) const {
  if (messaging_) return true;
  fputs("202612081835 the modem offers no messages\n", stderr);
  done(false);
  return false;
}

void MmLink::ListMessages() {
  mm_modem_messaging_list(
      messaging_, cancellable_, Finished, After([this](GObject* source, GAsyncResult* result) {
        GError* error = nullptr;
        GList* list = mm_modem_messaging_list_finish(MM_MODEM_MESSAGING(source), result, &error);
        if (!Succeeded(list != nullptr || error == nullptr, error, "the messages cannot be listed"))
          return;
        std::vector<StoredMessage> received;
        for (GList* item = list; item; item = item->next) {
          MMSms* sms = MM_SMS(item->data);
          if (mm_sms_get_state(sms) == MM_SMS_STATE_RECEIVED)
            received.push_back(Stored(sms));
          else if (mm_sms_get_state(sms) == MM_SMS_STATE_RECEIVING)
            WatchMessage(MM_SMS(g_object_ref(sms)));
        }
        g_list_free_full(list, g_object_unref);
        fprintf(stderr, "202612081836 %zu messages listed\n", received.size());
        bridge_->MessagesListed(received);
      }));
}

void MmLink::OnMessageAdded(MMModemMessaging*, const gchar* path, gboolean received,
                            gpointer self) {
  MmLink* link = static_cast<MmLink*>(self);
  if (!received) return;  // one of ours, being sent
  link->Proxy(
      MM_TYPE_SMS, MM_DBUS_INTERFACE_SMS, path, [link](GObject* source, GAsyncResult* result) {
        GError* error = nullptr;
        GObject* sms = g_async_initable_new_finish(G_ASYNC_INITABLE(source), result, &error);
        if (Succeeded(sms != nullptr, error, "a new message cannot be read"))
          link->WatchMessage(MM_SMS(sms));
      });
}

// Delivers the message once it is whole; takes the reference.
void MmLink::WatchMessage(MMSms* sms) {
  std::string path = mm_sms_get_path(sms);
  if (mm_sms_get_state(sms) == MM_SMS_STATE_RECEIVED) {
    bridge_->MessageReceived(Stored(sms));
    g_object_unref(sms);
    return;
  }
  if (arriving_.count(path)) {
    g_object_unref(sms);
    return;
  }
  arriving_[path] = sms;
  g_signal_connect(sms, "notify::state", G_CALLBACK(OnMessageState), this);
}

void MmLink::OnMessageState(MMSms* sms, GParamSpec*, gpointer self) {
  MmLink* link = static_cast<MmLink*>(self);
  if (mm_sms_get_state(sms) != MM_SMS_STATE_RECEIVED) return;
  link->arriving_.erase(mm_sms_get_path(sms));
  g_signal_handlers_disconnect_by_data(sms, link);
  link->WatchMessage(sms);
}

void MmLink::OnMessageDeleted(MMModemMessaging*, const gchar* path, gpointer self) {
  MmLink* link = static_cast<MmLink*>(self);
  auto arriving = link->arriving_.find(path);
  if (arriving != link->arriving_.end()) {
    g_signal_handlers_disconnect_by_data(arriving->second, link);
    g_object_unref(arriving->second);
    link->arriving_.erase(arriving);
  }
  link->bridge_->MessageDeleted(path);
}

void MmLink::Send(const std::string& number, const std::string& utf8_text, Done done) {
  if (!HasMessaging(done)) return;
  MMSmsProperties* properties = mm_sms_properties_new();
  mm_sms_properties_set_number(properties, number.c_str());
  mm_sms_properties_set_text(properties, utf8_text.c_str());
  mm_modem_messaging_create(
      messaging_, properties, cancellable_, Finished,
      After([this, done](GObject* source, GAsyncResult* result) {
        GError* error = nullptr;
        MMSms* sms = mm_modem_messaging_create_finish(MM_MODEM_MESSAGING(source), result, &error);
        if (!Succeeded(sms != nullptr, error, "the message cannot be made")) {
          done(false);
          return;
        }
        mm_sms_send(sms, cancellable_, Finished,
                    After([this, sms, done](GObject*, GAsyncResult* result) {
                      GError* error = nullptr;
                      done(Succeeded(mm_sms_send_finish(sms, result, &error), error,
                                     "the message cannot be sent"));
                      // Sent or not, it is not kept among the modem's messages.
                      if (messaging_)
                        mm_modem_messaging_delete(messaging_, mm_sms_get_path(sms), cancellable_,
                                                  Finished, After([](GObject*, GAsyncResult*) {}));
                      g_object_unref(sms);
                    }));
      }));
  g_object_unref(properties);
}

void MmLink::Delete(const std::string& path, Done done) {
  if (!HasMessaging(done)) return;
  mm_modem_messaging_delete(
      messaging_, path.c_str(), cancellable_, Finished,
      After([done](GObject* source, GAsyncResult* result) {
        GError* error = nullptr;
        done(Succeeded(mm_modem_messaging_delete_finish(MM_MODEM_MESSAGING(source), result, &error),
                       error, "the message cannot be deleted"));
      }));
}
