#include "pdu.h"

#include <cstdio>

std::string FrameDate(const SmsTime& stamp) {
  char date[32];
  snprintf(date, sizeof date, "%02d-%02d-%04d", stamp.day, stamp.month, stamp.year);
  return date;
}

std::string FrameTime(const SmsTime& stamp) {
  char time[32];
  snprintf(time, sizeof time, "%02d:%02d:%02d", stamp.hour, stamp.minute, stamp.second);
  return time;
}
