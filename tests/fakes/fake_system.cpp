// The settable clock's calendar arithmetic, and the fake's code page.
#include "tests/fakes/fake_system.h"

#include <chrono>

#include "common/text_encoding.h"

namespace corvale::testing {

namespace {
constexpr int64_t kFileTimeOfUnixEpoch = 116444736000000000LL;
constexpr int64_t kTicksPerSecond = 10000000LL;
}  // namespace

int64_t FakeClock::ToFileTime(const LocalTime& t) {
  using namespace std::chrono;
  auto days = sys_days(year_month_day(year(t.year), month(static_cast<unsigned>(t.month)),
                                      day(static_cast<unsigned>(t.day))));
  int64_t seconds =
      days.time_since_epoch().count() * 86400LL + t.hour * 3600LL + t.minute * 60LL + t.second;
  return kFileTimeOfUnixEpoch + seconds * kTicksPerSecond + t.millisecond * 10000LL;
}

LocalTime FakeClock::FromFileTime(int64_t filetime) {
  using namespace std::chrono;
  int64_t ticks = filetime - kFileTimeOfUnixEpoch;
  int64_t seconds = ticks / kTicksPerSecond;
  int64_t days_count = seconds / 86400;
  int64_t rest = seconds % 86400;
  year_month_day ymd{sys_days(days(days_count))};
  LocalTime t;
  t.year = static_cast<int>(ymd.year());
  t.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  t.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest % 3600 / 60);
  t.second = static_cast<int>(rest % 60);
  t.millisecond = static_cast<int>(ticks % kTicksPerSecond / 10000);
  return t;
}

void FakeClock::Advance(int64_t seconds) {
  std::lock_guard lock(mutex_);
  now_ = FromFileTime(ToFileTime(now_) + seconds * kTicksPerSecond);
  ticks_ += seconds * kTicksPerSecond;
}

std::string FakeSystemInfo::ToAnsiCodePage(const std::string& text) {
  const std::u16string wide = varnell::Utf8ToUtf16(text);
  std::string out;
  for (size_t i = 0; i < wide.size(); ++i) {
    const char16_t c = wide[i];
    if (c < 0x100) {
      out += static_cast<char>(c);
    } else {
      out += '?';
      // A surrogate pair is one character.
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
          wide[i + 1] <= 0xDFFF)
        ++i;
    }
  }
  return out;
}

}  // namespace corvale::testing
