#include "program_support.h"

#include <X11/Xutil.h>

#include <array>
#include <cstring>
#include <optional>

#include "screen.h"

namespace programs {

rig::EnvVars AlsaEnv(const alsarig::AlsaRig& alsa) {
  rig::EnvVars env;
  for (const std::string& assignment : alsa.Environment()) {
    size_t equals = assignment.find('=');
    env.emplace_back(assignment.substr(0, equals), assignment.substr(equals + 1));
  }
  return env;
}

int CodecRoutingState(const alsarig::AlsaRig& alsa) {
  // Playback volumes of elements 0, 2, 9, 19 and 28 in states 2 to 5.
  constexpr int kElements[] = {0, 2, 9, 19, 28};
  constexpr std::array<long, 5> kStates[] = {
      {127, 0, 235, 121, 2}, {0, 115, 0, 125, 1}, {115, 0, 0, 80, 3}, {115, 0, 207, 80, 6}};
  std::array<long, 5> held{};
  for (int i = 0; i < 5; ++i) {
    std::optional<long> value = alsa.CodecValue(kElements[i], codec::kPlaybackVolume);
    if (!value) return -1;
    held[i] = *value;
  }
  for (int state = 0; state < 4; ++state)
    if (held == kStates[state]) return state + 2;
  return -1;
}

TextReference::TextReference(const std::vector<Text>& texts, const char* font_pattern) {
  Display* display = xrig::Rig();
  int screen = DefaultScreen(display);
  Pixmap pixmap = XCreatePixmap(display, DefaultRootWindow(display), kScreenWidth,
                                kScreenHeight, DefaultDepth(display, screen));
  GC gc = XCreateGC(display, pixmap, 0, nullptr);
  XSetForeground(display, gc, WhitePixel(display, screen));
  XFillRectangle(display, pixmap, gc, 0, 0, kScreenWidth, kScreenHeight);
  XSetForeground(display, gc, BlackPixel(display, screen));
  XFontStruct* font = LoadLabelFont(display, font_pattern);
  if (font != nullptr) XSetFont(display, gc, font->fid);
  for (const Text& t : texts)
    XDrawString(display, pixmap, gc, t.x, t.baseline, t.text, static_cast<int>(strlen(t.text)));
  XImage* image =
      XGetImage(display, pixmap, 0, 0, kScreenWidth, kScreenHeight, AllPlanes, ZPixmap);
  pixels_.resize(kScreenWidth * kScreenHeight);
  for (int y = 0; y < kScreenHeight; ++y)
    for (int x = 0; x < kScreenWidth; ++x)
      pixels_[y * kScreenWidth + x] = XGetPixel(image, x, y) & 0xFFFFFF;
  XDestroyImage(image);
  if (font != nullptr) XFreeFont(display, font);
  XFreeGC(display, gc);
  XFreePixmap(display, pixmap);
}

bool TextReference::Matches(const xrig::Snapshot& window, xrig::Rect box) const {
  for (int y = box.y; y < box.y + box.height; ++y)
    for (int x = box.x; x < box.x + box.width; ++x)
      if (window.Pixel(x, y) != pixels_[y * kScreenWidth + x]) return false;
  return true;
}

bool WaitForPixels(Window window, const TextReference& reference, xrig::Rect box) {
  return xrig::WaitFor([&] { return reference.Matches(xrig::Snapshot(window), box); });
}

bool PressUntil(Window window, int x, int y, const std::function<bool()>& effect) {
  return xrig::WaitFor([&] {
    xrig::Press(window, x, y);
    return xrig::WaitFor(effect, 2000);
  });
}

int CountWindows(const char* title) {
  int count = 0;
  for (Window window : xrig::ViewableTopLevelWindows()) {
    char* name = nullptr;
    if (XFetchName(xrig::Rig(), window, &name) && name != nullptr) {
      count += std::strcmp(name, title) == 0;
      XFree(name);
    }
  }
  return count;
}

namespace {

// Centres of the top row's cells, where every dialog window has its
// leave, choose and confirm buttons.
constexpr int kTopY = 80;
constexpr int kLeftX = 80, kMiddleX = 240, kRightX = 400;

// The keypad's keys: rows 201-310, 311-420, 421-530 and 531-640.
bool KeyPosition(const std::string& key, int* x, int* y) {
  static const char* const kKeys = "123456789*0#";
  if (key == "Del") {
    *x = kMiddleX;
    *y = kTopY;
    return true;
  }
  const char* at = key.size() == 1 ? strchr(kKeys, key[0]) : nullptr;
  if (at == nullptr) return false;
  int index = static_cast<int>(at - kKeys);
  *x = 80 + 160 * (index % 3);
  *y = 255 + 110 * (index / 3);
  return true;
}

}  // namespace

bool ChooseContact(int ups) {
  Window dialog = xrig::WaitForWindow("GetPhoneNr");
  if (dialog == 0 || !xrig::Touch(dialog, kMiddleX, kTopY)) return false;
  Window contacts = xrig::WaitForWindow("Contacts");
  if (contacts == 0) return false;
  for (int i = 0; i < ups; ++i)
    if (!xrig::Touch(contacts, kRightX, kTopY)) return false;
  return xrig::Touch(contacts, kMiddleX, kTopY);
}

bool TypeNumber(const std::vector<std::string>& keys) {
  Window dialog = xrig::WaitForWindow("GetPhoneNr");
  if (dialog == 0 || !xrig::Touch(dialog, kRightX, kTopY)) return false;
  Window keypad = xrig::WaitForWindow("ShowKeypad");
  if (keypad == 0) return false;
  for (const std::string& key : keys) {
    int x, y;
    if (!KeyPosition(key, &x, &y)) {
      ADD_FAILURE() << "no key " << key;
      return false;
    }
    if (!xrig::Touch(keypad, x, y)) return false;
  }
  return xrig::Touch(keypad, kRightX, kTopY);
}

}  // namespace programs
