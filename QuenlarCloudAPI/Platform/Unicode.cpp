#include "QuenlarCloudAPI/Platform/Unicode.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <memory>

namespace tq::Unicode {
namespace {

bool isAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return (static_cast<unsigned char>(c) & 0x80U) == 0; });
}

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int sign(int value) { return (value > 0) - (value < 0); }

// The locale whose collation orders text for the user. ICU reads "C" and "POSIX" as en_US_POSIX,
// whose tailoring sorts every capital before every small letter: no case-insensitive order at all.
icu::Locale collationLocale() {
  const icu::Locale& locale = icu::Locale::getDefault();
  const std::string_view name = locale.getName();
  if (locale.isBogus() || name.empty() || name == "c" || name == "C" ||
      name.starts_with("en_US_POSIX")) {
    return icu::Locale::getRoot();
  }
  return locale;
}

// The shared, never-used-directly prototype; each thread compares with its own clone, since a
// collator is not safe for concurrent use.
const icu::Collator* collatorPrototype() {
  static const icu::Collator* const prototype = []() -> const icu::Collator* {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(
        icu::Collator::createInstance(collationLocale(), status));
    if (U_FAILURE(status) || collator == nullptr) {
      return nullptr;
    }
    collator->setStrength(icu::Collator::SECONDARY);
    return collator.release();  // lives for the process
  }();
  return prototype;
}

icu::Collator* threadCollator() {
  thread_local const std::unique_ptr<icu::Collator> collator(
      collatorPrototype() != nullptr ? collatorPrototype()->clone() : nullptr);
  // The analyzer wrongly runs the thread_local's destructor at this return.
  return collator.get();  // NOLINT(clang-analyzer-cplusplus.NewDelete)
}

const icu::Normalizer2* nfd() {
  static const icu::Normalizer2* const instance = [] {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* n = icu::Normalizer2::getNFDInstance(status);
    return U_SUCCESS(status) ? n : nullptr;
  }();
  return instance;
}

const icu::Normalizer2* nfc() {
  static const icu::Normalizer2* const instance = [] {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* n = icu::Normalizer2::getNFCInstance(status);
    return U_SUCCESS(status) ? n : nullptr;
  }();
  return instance;
}

// Two buffers per thread, reused from call to call: folding runs over every row of a search.
struct FoldBuffers {
  icu::UnicodeString text;
  icu::UnicodeString scratch;
};

FoldBuffers& foldBuffers() {
  thread_local FoldBuffers buffers;
  return buffers;
}

void setFromUtf8(icu::UnicodeString& out, std::string_view text) {
  // UTF-16 never needs more units than UTF-8 has bytes.
  UChar* buffer = out.getBuffer(static_cast<int32_t>(text.size()) + 1);
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(buffer, out.getCapacity(), &length, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
  out.releaseBuffer(U_SUCCESS(status) ? length : 0);
}

// Normalizes `text` in place; text that is already normalized is left untouched without a copy.
void normalize(const icu::Normalizer2* normalizer, icu::UnicodeString& text,
               icu::UnicodeString& scratch) {
  if (normalizer == nullptr) {
    return;
  }
  UErrorCode status = U_ZERO_ERROR;
  if (normalizer->spanQuickCheckYes(text, status) == text.length() || U_FAILURE(status)) {
    return;
  }
  normalizer->normalize(text, scratch, status);
  if (U_SUCCESS(status)) {
    text.swap(scratch);
  }
}

void removeNonspacingMarks(icu::UnicodeString& text, icu::UnicodeString& scratch) {
  scratch.remove();
  for (int32_t i = 0; i < text.length();) {
    const UChar32 c = text.char32At(i);
    if (u_charType(c) != U_NON_SPACING_MARK) {
      scratch.append(c);
    }
    i += U16_LENGTH(c);
  }
  text.swap(scratch);
}

}  // namespace

bool isAlphanumeric(char32_t c) {
  if (c < 0x80) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  }
  if (c > 0x10FFFF) {
    return false;
  }
  return (U_GET_GC_MASK(static_cast<UChar32>(c)) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0;
}

int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b) {
  icu::Collator* collator = threadCollator();
  if (collator == nullptr) {
    return compareCodePoints(fold(a, true, false), fold(b, true, false));
  }
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult result =
      collator->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                            icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
  if (U_FAILURE(status)) {
    return compareCodePoints(fold(a, true, false), fold(b, true, false));
  }
  return sign(static_cast<int>(result));
}

std::string localizedCaseInsensitiveSortKey(std::string_view text) {
  std::string key;
  appendLocalizedCaseInsensitiveSortKey(text, key);
  return key;
}

void appendLocalizedCaseInsensitiveSortKey(std::string_view text, std::string& keys) {
  icu::Collator* collator = threadCollator();
  if (collator == nullptr) {
    keys += fold(text, true, false);
    return;
  }
  icu::UnicodeString& unicode = foldBuffers().text;
  setFromUtf8(unicode, text);
  // Most keys fit the first guess; a longer one reports its length and is fetched again.
  const size_t start = keys.size();
  keys.resize(start + static_cast<size_t>(unicode.length()) * 2 + 16);
  for (;;) {
    const auto room = static_cast<int32_t>(keys.size() - start);
    const int32_t length =
        collator->getSortKey(unicode, reinterpret_cast<uint8_t*>(keys.data() + start), room);
    if (length <= 0) {
      keys.resize(start);
      keys += fold(text, true, false);
      return;
    }
    if (length <= room) {
      keys.resize(start + static_cast<size_t>(length) - 1);  // without the terminating zero byte
      return;
    }
    keys.resize(start + static_cast<size_t>(length));
  }
}

int compareCodePoints(std::string_view a, std::string_view b) {
  // Byte order of UTF-8 is code-point order.
  return sign(a.compare(b));
}

std::string fold(std::string_view text, bool caseInsensitive, bool diacriticInsensitive) {
  if (isAscii(text)) {
    std::string out(text);
    if (caseInsensitive) {
      std::transform(out.begin(), out.end(), out.begin(), asciiLower);
    }
    return out;
  }
  auto& [unicode, scratch] = foldBuffers();
  setFromUtf8(unicode, text);
  normalize(nfd(), unicode, scratch);
  if (caseInsensitive) {
    unicode.foldCase(U_FOLD_CASE_DEFAULT);
  }
  if (diacriticInsensitive) {
    if (caseInsensitive) {
      // Folding may produce new decomposable characters; decompose again before removing marks.
      normalize(nfd(), unicode, scratch);
    }
    removeNonspacingMarks(unicode, scratch);
  }
  normalize(nfc(), unicode, scratch);
  std::string out;
  unicode.toUTF8String(out);
  return out;
}

}  // namespace tq::Unicode
