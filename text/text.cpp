#include "text/text.h"

namespace velnara {

namespace {

bool IsWhiteSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

char FoldCase(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string FoldCase(std::string text) {
  for (char& c : text) c = FoldCase(c);
  return text;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

bool StartsWithName(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}

DecimalNumber ParseDecimal(const char* text, DecimalForm form) {
  DecimalNumber number;
  const char* at = text;
  bool negative = false;
  if (form == DecimalForm::kBlanksAndSign) {
    while (IsWhiteSpace(*at)) ++at;
    negative = *at == '-';
    if (*at == '-' || *at == '+') ++at;
  }
  for (; IsDigit(*at); ++at) {
    ++number.digits;
    const long grown =
        number.value > kMaxDecimal / 10 ? kMaxDecimal : number.value * 10 + (*at - '0');
    number.value = grown < kMaxDecimal ? grown : kMaxDecimal;
  }
  if (number.digits == 0) return DecimalNumber();
  number.found = true;
  if (negative) number.value = -number.value;
  number.length = static_cast<std::size_t>(at - text);
  return number;
}

std::string QuotedName(const std::string& name) {
  std::string quoted = "\"";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      quoted += c;
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      quoted += "\\x";
      quoted += kHex[byte >> 4];
      quoted += kHex[byte & 0xF];
    }
  }
  return quoted + "\"";
}

std::string ZeroPadded(unsigned long value, std::size_t width) {
  std::string text = std::to_string(value);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

}  // namespace velnara
