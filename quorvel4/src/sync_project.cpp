// The editor's XML project. The parser is rapidxml, built without exceptions (the web build
// cannot catch them): its faults come back through parse_error_handler, which jumps out of the
// parse to the one frame that set the jump up. Neither that frame nor any of the parser's own
// holds an object with a destructor, so the jump leaves nothing undone; the document and the
// text it points into live in the caller's frame, which the jump does not leave.
#define RAPIDXML_NO_EXCEPTIONS
#include <rapidxml.hpp>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quorvel4/sync_tracks.h"
#include "utf8_read.h"

namespace {

struct XmlFault {
  std::jmp_buf jump;
  const char* what = nullptr;
  const char* where = nullptr;
};

thread_local XmlFault* tFault = nullptr;

}  // namespace

namespace rapidxml {
void parse_error_handler(const char* what, void* where) {
  // The parser is called from ParseXml only; it would go on past the fault if this returned.
  if (tFault == nullptr) std::abort();
  tFault->what = what;
  tFault->where = static_cast<const char*>(where);
  std::longjmp(tFault->jump, 1);
}
}  // namespace rapidxml

namespace {

// No text nodes (the format has none to read) and closing tags that must match their element.
constexpr int kParseFlags = rapidxml::parse_no_data_nodes | rapidxml::parse_validate_closing_tags;

bool ParseXml(rapidxml::xml_document<char>& document, char* text, XmlFault& fault) {
  tFault = &fault;
  if (setjmp(fault.jump) != 0) {
    tFault = nullptr;
    return false;
  }
  document.parse<kParseFlags>(text);
  tFault = nullptr;
  return true;
}

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Where the markup first goes beyond what the parser is given, or npos; `what` says how. The
// parser goes one call deeper for each level, so a deep file must be refused before it is
// parsed; and it keeps a node for every element, attribute and text between them, about a
// hundred bytes each, so a file of nothing but "<a/>" would take many times its size: the items
// are counted too. This reads the markup as the parser does (comments, CDATA, processing
// instructions, the doctype with its brackets, other <!...>, quoted attribute values) up to
// the first place where the parser would stop at a fault, after which what it counts does not
// matter.
size_t TooMuchAt(std::string_view text, std::string& what) {
  int depth = 0;
  size_t items = 0;
  size_t i = 0;
  const auto skipPast = [&](std::string_view end) {
    const size_t found = text.find(end, i);
    i = found == std::string_view::npos ? text.size() : found + end.size();
  };
  while (true) {
    const size_t open = text.find('<', i);
    if (open == std::string_view::npos) return std::string_view::npos;
    // The tag, and the text before it.
    if ((items += 2) > kMostSyncProjectItems) {
      what = "more than " + std::to_string(kMostSyncProjectItems) + " elements, attributes and texts";
      return open;
    }
    i = open + 1;
    const std::string_view rest = text.substr(i);
    if (rest.starts_with('?')) {
      i += 1;
      skipPast("?>");
    } else if (rest.starts_with("!--")) {
      i += 3;
      skipPast("-->");
    } else if (rest.starts_with("![CDATA[")) {
      i += 8;
      skipPast("]]>");
    } else if (rest.starts_with("!DOCTYPE") && rest.size() > 8 && IsXmlSpace(rest[8])) {
      for (i += 9; i < text.size() && text[i] != '>'; ++i) {
        if (text[i] != '[') continue;
        for (int brackets = 1; brackets > 0 && ++i < text.size();) {
          if (text[i] == '[') ++brackets;
          if (text[i] == ']') --brackets;
        }
      }
      ++i;
    } else if (rest.starts_with('!')) {
      skipPast(">");
    } else if (rest.starts_with('/')) {
      depth = std::max(depth - 1, 0);
      skipPast(">");
    } else {
      size_t end = i;
      while (end < text.size() && text[end] != '>') {
        if (text[end] == '=') ++items;
        if (text[end] == '"' || text[end] == '\'') {
          const size_t close = text.find(text[end], end + 1);
          end = close == std::string_view::npos ? text.size() : close;
        }
        if (end < text.size()) ++end;
      }
      if (items > kMostSyncProjectItems) {
        what = "more than " + std::to_string(kMostSyncProjectItems) + " elements, attributes and texts";
        return open;
      }
      const bool empty = end < text.size() && end > i && text[end - 1] == '/';
      if (!empty && ++depth > kDeepestSyncProjectNesting) {
        what = "elements nested deeper than " + std::to_string(kDeepestSyncProjectNesting);
        return open;
      }
      i = end + 1;
    }
  }
}

class ProjectReader {
 public:
  explicit ProjectReader(std::string_view text) : text_(text) {}

  // "line L, column C: what".
  std::string At(size_t offset, const std::string& what) const { return Place(offset) + ": " + what; }

  // "line L, column C", the column counted in characters (UTF-8), from 1.
  std::string Place(size_t offset) const {
    offset = std::min(offset, text_.size());
    size_t line = 1;
    size_t column = 1;
    for (size_t i = 0; i < offset; ++i) {
      if (text_[i] == '\n') {
        ++line;
        column = 1;
      } else if ((static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80) {
        ++column;
      }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
  }

  bool Read(SyncProject& project, std::string& error) {
    if (text_.size() > kMostSyncProjectBytes) {
      return Fail(0, "the project is " + std::to_string(text_.size()) + " bytes, more than " +
                         std::to_string(kMostSyncProjectBytes), error);
    }
    if (const size_t zero = text_.find('\0'); zero != std::string_view::npos) return Fail(zero, "a zero byte", error);
    std::string what;
    if (const size_t at = TooMuchAt(text_, what); at != std::string_view::npos) return Fail(at, what, error);
    // The parser writes into the text and needs it zero-terminated; the copy's offsets are the text's.
    buffer_.assign(text_);
    auto document = std::make_unique<rapidxml::xml_document<char>>();
    XmlFault fault;
    if (!ParseXml(*document, buffer_.data(), fault)) return Fail(OffsetOf(fault.where), fault.what, error);
    const rapidxml::xml_node<char>* sync = nullptr;
    for (auto* node = document->first_node(); node != nullptr; node = node->next_sibling()) {
      if (!Named(node, "sync")) continue;
      if (sync != nullptr) return Fail(OffsetOf(node), "a second <sync> element", error);
      sync = node;
    }
    if (sync == nullptr) return Fail(0, "no <sync> element", error);
    SyncProject read;
    if (const auto* rows = sync->first_attribute("rows"); rows != nullptr && !Row(rows, read.rows, "sync", error)) {
      return false;
    }
    if (const auto* perBeat = sync->first_attribute("rowsPerBeat");
        perBeat != nullptr && !Row(perBeat, read.rowsPerBeat, "sync", error)) {
      return false;
    }
    for (auto* tracks = sync->first_node("tracks"); tracks != nullptr; tracks = tracks->next_sibling("tracks")) {
      for (auto* track = tracks->first_node("track"); track != nullptr; track = track->next_sibling("track")) {
        if (!ReadTrack(track, read, error)) return false;
      }
    }
    for (auto* marks = sync->first_node("bookmarks"); marks != nullptr; marks = marks->next_sibling("bookmarks")) {
      for (auto* mark = marks->first_node("bookmark"); mark != nullptr; mark = mark->next_sibling("bookmark")) {
        int32_t row = 0;
        if (!RequiredRow(mark, row, "bookmark", error)) return false;
        read.bookmarks.push_back(row);
      }
    }
    // A row marked twice is marked once.
    std::sort(read.bookmarks.begin(), read.bookmarks.end());
    read.bookmarks.erase(std::unique(read.bookmarks.begin(), read.bookmarks.end()), read.bookmarks.end());
    project = std::move(read);
    return true;
  }

 private:
  using Node = rapidxml::xml_node<char>;
  using Attribute = rapidxml::xml_attribute<char>;

  static bool Named(const Node* node, std::string_view name) {
    return node->type() == rapidxml::node_element && std::string_view(node->name(), node->name_size()) == name;
  }
  static std::string_view Value(const Attribute* attribute) {
    return {attribute->value(), attribute->value_size()};
  }

  size_t OffsetOf(const char* place) const {
    const char* begin = buffer_.data();
    return place != nullptr && place >= begin && place <= begin + buffer_.size() ? static_cast<size_t>(place - begin) : 0;
  }
  // An element's place is its '<'.
  size_t OffsetOf(const Node* node) const {
    const size_t name = OffsetOf(node->name());
    return name > 0 ? name - 1 : 0;
  }
  size_t OffsetOf(const Attribute* attribute) const { return OffsetOf(attribute->value()); }

  bool Fail(size_t offset, const std::string& what, std::string& error) const {
    error = At(offset, what);
    return false;
  }

  // A whole decimal from 0 to `most`, nothing else around it.
  static bool WholeNumber(std::string_view text, int64_t most, int64_t& value) {
    if (text.empty()) return false;
    value = 0;
    for (const char c : text) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
      if (value > most) return false;
    }
    return true;
  }

  bool Row(const Attribute* attribute, int32_t& row, const char* element, std::string& error) const {
    int64_t value = 0;
    if (!WholeNumber(Value(attribute), INT32_MAX, value)) {
      return Fail(OffsetOf(attribute), std::string(element) + ": " + attribute->name() + " is not a whole number 0-2147483647", error);
    }
    row = static_cast<int32_t>(value);
    return true;
  }

  const Attribute* Required(const Node* node, const char* name, const char* element, std::string& error) const {
    const Attribute* attribute = node->first_attribute(name);
    if (attribute == nullptr) Fail(OffsetOf(node), std::string(element) + ": no " + name, error);
    return attribute;
  }

  bool RequiredRow(const Node* node, int32_t& row, const char* element, std::string& error) const {
    const Attribute* attribute = Required(node, "row", element, error);
    return attribute != nullptr && Row(attribute, row, element, error);
  }

  bool ReadTrack(const Node* track, SyncProject& project, std::string& error) {
    const Attribute* nameAttribute = Required(track, "name", "track", error);
    if (nameAttribute == nullptr) return false;
    std::string name(Value(nameAttribute));
    if (name.empty()) return Fail(OffsetOf(nameAttribute), "track: the name is empty", error);
    for (std::string_view rest = name; !rest.empty();) {
      const Utf8Step step = ReadUtf8(rest);
      if (step.read != Utf8Read::kCharacter) return Fail(OffsetOf(nameAttribute), "track: the name is not UTF-8", error);
      rest.remove_prefix(step.length);
    }
    const auto [first, isNew] = names_.emplace(name, OffsetOf(track));
    if (!isNew) return Fail(OffsetOf(track), "track: a second track named as the one at " + Place(first->second), error);
    std::vector<std::pair<TrackKey, size_t>> keys;
    for (auto* node = track->first_node("key"); node != nullptr; node = node->next_sibling("key")) {
      TrackKey key;
      if (!RequiredRow(node, key.row, "key", error)) return false;
      const Attribute* value = Required(node, "value", "key", error);
      if (value == nullptr) return false;
      if (!ParseTrackValue(Value(value), key.value)) {
        return Fail(OffsetOf(value), "key: the value is not a decimal number within the float's range", error);
      }
      const Attribute* interpolation = Required(node, "interpolation", "key", error);
      if (interpolation == nullptr) return false;
      int64_t kind = 0;
      if (!WholeNumber(Value(interpolation), INT32_MAX, kind)) {
        return Fail(OffsetOf(interpolation), "key: the interpolation is not a whole number", error);
      }
      if (kind >= kTrackInterpolationCount) {
        return Fail(OffsetOf(interpolation), "key: interpolation " + std::to_string(kind) + " is not 0-3", error);
      }
      key.interpolation = static_cast<TrackInterpolation>(kind);
      keys.emplace_back(key, OffsetOf(node));
    }
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first.row < b.first.row; });
    std::vector<TrackKey> sorted;
    sorted.reserve(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
      if (i > 0 && keys[i].first.row == keys[i - 1].first.row) {
        const size_t later = std::max(keys[i].second, keys[i - 1].second);
        const size_t earlier = std::min(keys[i].second, keys[i - 1].second);
        return Fail(later, "key: row " + std::to_string(keys[i].first.row) + " is keyed already at " + Place(earlier), error);
      }
      sorted.push_back(keys[i].first);
    }
    SyncTrack read(std::move(name));
    read.SetKeys(std::move(sorted));
    project.tracks.push_back(std::move(read));
    return true;
  }

  std::string_view text_;
  std::string buffer_;
  std::map<std::string, size_t> names_;  // each track's name and where it was
};

void AppendEscaped(std::string& out, std::string_view text) {
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        if (c < 0x20 || c == 0x7F) out += "&#" + std::to_string(c) + ";";
        else out += ch;
    }
  }
}

}  // namespace

bool ReadSyncProject(std::string_view text, SyncProject& project, std::string& error) {
  project = SyncProject{};
  return ProjectReader(text).Read(project, error);
}

std::string WriteSyncProject(const SyncProject& project) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<sync";
  if (project.rows != 0) out += " rows=\"" + std::to_string(project.rows) + "\"";
  if (project.rowsPerBeat != 0) out += " rowsPerBeat=\"" + std::to_string(project.rowsPerBeat) + "\"";
  out += ">\n";
  if (project.tracks.empty()) {
    out += "  <tracks/>\n";
  } else {
    out += "  <tracks>\n";
    for (const SyncTrack& track : project.tracks) {
      out += "    <track name=\"";
      AppendEscaped(out, track.Name());
      if (track.Keys().empty()) {
        out += "\"/>\n";
        continue;
      }
      out += "\">\n";
      for (const TrackKey& key : track.Keys()) {
        out += "      <key row=\"" + std::to_string(key.row) + "\" value=\"" + TrackValueText(key.value) +
               "\" interpolation=\"" + std::to_string(static_cast<int>(key.interpolation)) + "\"/>\n";
      }
      out += "    </track>\n";
    }
    out += "  </tracks>\n";
  }
  std::vector<int32_t> bookmarks = project.bookmarks;
  std::sort(bookmarks.begin(), bookmarks.end());
  bookmarks.erase(std::unique(bookmarks.begin(), bookmarks.end()), bookmarks.end());
  if (bookmarks.empty()) {
    out += "  <bookmarks/>\n";
  } else {
    out += "  <bookmarks>\n";
    for (const int32_t row : bookmarks) out += "    <bookmark row=\"" + std::to_string(row) + "\"/>\n";
    out += "  </bookmarks>\n";
  }
  out += "</sync>\n";
  return out;
}
