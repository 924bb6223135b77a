#include "QuenlarCloudAPI/Platform/PropertyList.h"

#include <openssl/evp.h>
#include <plist/plist.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>

#include "QuenlarCloudAPI/Platform/PropertyListShape.h"
#include "QuenlarCloudAPI/Platform/ReadFile.h"

namespace tq::PropertyList {
namespace {

constexpr std::size_t kMaxFileBytes = 16U << 20U;
// Far beyond any real bundle file, far below what would exhaust a thread's stack or memory.
constexpr std::size_t kMaxDepth = 512;
constexpr std::size_t kMaxObjects = 1'000'000;
// Seconds from the Unix epoch to 2001-01-01T00:00:00Z, the property-list epoch.
constexpr int64_t kPropertyListEpoch = 978307200;

struct PlistDeleter {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

struct CharDeleter {
  void operator()(char* text) const { std::free(text); }  // NOLINT(cppcoreguidelines-no-malloc)
};

std::string base64(const char* data, uint64_t length) {
  std::string out;
  out.resize(4 * ((length + 2) / 3) + 1);
  const int written =
      EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                      reinterpret_cast<const unsigned char*>(data), static_cast<int>(length));
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

std::string isoDate(int32_t sec, int32_t usec) {
  using namespace std::chrono;
  const int64_t totalMs = (kPropertyListEpoch + sec) * 1000 + usec / 1000;
  const sys_time<milliseconds> time{milliseconds{totalMs}};
  const auto day = floor<days>(time);
  const year_month_day ymd{day};
  const hh_mm_ss hms{time - day};
  char text[40];
  const auto ms = hms.subseconds().count();
  if (ms == 0) {
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<int>(hms.hours().count()), static_cast<int>(hms.minutes().count()),
                  static_cast<int>(hms.seconds().count()));
  } else {
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ",
                  static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                  static_cast<unsigned>(ymd.day()), static_cast<int>(hms.hours().count()),
                  static_cast<int>(hms.minutes().count()), static_cast<int>(hms.seconds().count()),
                  static_cast<int>(ms));
  }
  return text;
}

// Converts one node; nullopt when the tree is deeper than we accept.
std::optional<JSON> toJSON(plist_t node, std::size_t depth) {
  if (depth > kMaxDepth) {
    return std::nullopt;
  }
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return JSON(value != 0);
    }
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      // Negative integers arrive as their two's complement.
      return JSON(static_cast<int64_t>(value));
    }
    case PLIST_UID: {
      uint64_t value = 0;
      plist_get_uid_val(node, &value);
      return JSON(value);
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      // JSON has no NaN or infinity; nlohmann would write them as null anyway.
      return std::isfinite(value) ? JSON(value) : JSON(nullptr);
    }
    case PLIST_STRING:
    case PLIST_KEY: {
      uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      return JSON(text != nullptr ? std::string(text, length) : std::string());
    }
    case PLIST_DATE: {
      int32_t sec = 0;
      int32_t usec = 0;
      plist_get_date_val(node, &sec, &usec);
      return JSON(isoDate(sec, usec));
    }
    case PLIST_DATA: {
      uint64_t length = 0;
      const char* data = plist_get_data_ptr(node, &length);
      return JSON(base64(data, data != nullptr ? length : 0));
    }
    case PLIST_ARRAY: {
      JSON array = JSON::array();
      const uint32_t count = plist_array_get_size(node);
      for (uint32_t i = 0; i < count; ++i) {
        auto item = toJSON(plist_array_get_item(node, i), depth + 1);
        if (!item) {
          return std::nullopt;
        }
        array.push_back(std::move(*item));
      }
      return array;
    }
    case PLIST_DICT: {
      JSON object = JSON::object();
      plist_dict_iter iter = nullptr;
      plist_dict_new_iter(node, &iter);
      const std::unique_ptr<void, decltype(&std::free)> iterOwner(iter, &std::free);
      while (true) {
        char* rawKey = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iter, &rawKey, &value);
        const std::unique_ptr<char, CharDeleter> key(rawKey);
        if (key == nullptr || value == nullptr) {
          break;
        }
        auto item = toJSON(value, depth + 1);
        if (!item) {
          return std::nullopt;
        }
        object[key.get()] = std::move(*item);
      }
      return object;
    }
    default:
      return JSON(nullptr);
  }
}

}  // namespace

std::optional<JSON> dictionaryWithData(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) {
    return std::nullopt;
  }
  if (!isWithinLimits(bytes, PropertyListLimits{kMaxDepth, kMaxObjects})) {
    return std::nullopt;
  }
  plist_t raw = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &raw);
  const PlistPtr root(raw);
  if (root == nullptr || plist_get_node_type(root.get()) != PLIST_DICT) {
    return std::nullopt;
  }
  return toJSON(root.get(), 0);
}

std::optional<JSON> dictionaryWithContentsOfFile(const std::filesystem::path& path) {
  const auto bytes = readSmallFile(path, kMaxFileBytes);
  if (!bytes) {
    return std::nullopt;
  }
  return dictionaryWithData(*bytes);
}

}  // namespace tq::PropertyList
