#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQFullViewAnswerReader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/TQJSONReading.h"

namespace TQFullViewAnswerReader {
namespace {

// What a container of the answer is to the reader.
enum class Role {
  Root,       // the answer itself
  Data,       // "data"
  Resources,  // the list of "file" or "folder"
  Deleted,    // "data"."deleted"
  Paths,      // the list of "deleted"."path"
  Skipped,    // anything else, read past
};

class Handler {
 public:
  Handler(const ResourceHandler& resource, const PathHandler& deletedPath)
      : resource_(resource), deletedPath_(deletedPath) {}

  // ---- The SAX interface of tq::JSON ----

  bool null() { return value(tq::JSON()); }
  bool boolean(bool flag) { return value(tq::JSON(flag)); }
  bool number_integer(tq::JSON::number_integer_t number) { return value(tq::JSON(number)); }
  bool number_unsigned(tq::JSON::number_unsigned_t number) { return value(tq::JSON(number)); }
  bool number_float(tq::JSON::number_float_t number, const std::string& /*text*/) {
    return value(tq::JSON(number));
  }
  bool binary(tq::JSON::binary_t& /*binary*/) { return false; }  // no JSON text holds one

  bool string(std::string& text) {
    if (!building_.empty()) {
      return add(tq::JSON(std::move(text)));
    }
    if (roles_.empty()) {
      return false;  // the answer must be an object
    }
    const Role role = roles_.back();
    if (role == Role::Paths || (role == Role::Deleted && key_ == "path")) {
      deletedPath_(std::move(text));
    }
    return true;
  }

  bool key(std::string& key) {
    key_ = std::move(key);
    return true;
  }

  bool start_object(std::size_t /*elements*/) {
    if (!enter()) {
      return false;
    }
    if (!building_.empty()) {
      return open(tq::JSON::object());
    }
    if (roles_.empty()) {
      roles_.push_back(Role::Root);
      return true;
    }
    switch (roles_.back()) {
      case Role::Root:
        roles_.push_back(key_ == "data" ? Role::Data : Role::Skipped);
        return true;
      case Role::Data:
        if (key_ == "file" || key_ == "folder") {
          return beginResource();
        }
        roles_.push_back(key_ == "deleted" ? Role::Deleted : Role::Skipped);
        return true;
      case Role::Resources:
        return beginResource();
      default:
        roles_.push_back(Role::Skipped);
        return true;
    }
  }

  bool end_object() {
    --depth_;
    if (!building_.empty()) {
      return close();
    }
    roles_.pop_back();
    return true;
  }

  bool start_array(std::size_t /*elements*/) {
    if (!enter()) {
      return false;
    }
    if (!building_.empty()) {
      return open(tq::JSON::array());
    }
    if (roles_.empty()) {
      return false;  // the answer must be an object
    }
    Role role = Role::Skipped;
    if (roles_.back() == Role::Data && (key_ == "file" || key_ == "folder")) {
      role = Role::Resources;
    } else if (roles_.back() == Role::Deleted && key_ == "path") {
      role = Role::Paths;
    }
    roles_.push_back(role);
    return true;
  }

  bool end_array() {
    --depth_;
    if (!building_.empty()) {
      return close();
    }
    roles_.pop_back();
    return true;
  }

  bool parse_error(std::size_t /*position*/, const std::string& /*token*/,
                   const nlohmann::detail::exception& /*error*/) {
    return false;
  }

 private:
  bool enter() { return ++depth_ <= TQJSONReading::kMaximumJSONDepth; }

  // A scalar outside a resource object is never read; as the whole answer it is no object.
  bool value(tq::JSON scalar) {
    if (!building_.empty()) {
      return add(std::move(scalar));
    }
    return !roles_.empty();
  }

  bool beginResource() {
    resourceObject_ = tq::JSON::object();
    building_.push_back(&resourceObject_);
    return true;
  }

  // Adds a value to the container being built: under the last key in an object, at the end of an
  // array. Answers where it went. Only the open containers are pointed at, and nothing is added to
  // a container while one of its children is open, so the pointers stay valid.
  tq::JSON* place(tq::JSON element) {
    tq::JSON& container = *building_.back();
    if (container.is_object()) {
      tq::JSON& slot = container[key_];
      slot = std::move(element);
      return &slot;
    }
    container.push_back(std::move(element));
    return &container.back();
  }

  bool add(tq::JSON element) {
    place(std::move(element));
    return true;
  }

  bool open(tq::JSON container) {
    building_.push_back(place(std::move(container)));
    return true;
  }

  bool close() {
    building_.pop_back();
    if (building_.empty()) {
      resource_(resourceObject_);
      resourceObject_ = tq::JSON();
    }
    return true;
  }

  const ResourceHandler& resource_;
  const PathHandler& deletedPath_;
  std::vector<Role> roles_;
  std::string key_;  // the key of the value about to come, in the innermost object
  int depth_ = 0;
  tq::JSON resourceObject_;
  std::vector<tq::JSON*> building_;  // the open containers of the resource object being read
};

}  // namespace

bool read(const TQAnswerSpool& spool, const ResourceHandler& resource,
          const PathHandler& deletedPath) {
  if (spool.failed()) {
    return false;
  }
  TQAnswerSpool::Reader reader(spool);
  Handler handler(resource, deletedPath);
  const bool parsed =
      tq::JSON::sax_parse(TQAnswerSpool::Iterator(reader), TQAnswerSpool::Iterator(), &handler);
  // The parser takes a NUL between tokens for the end of the text, which would let "{}\0..."
  // pass as one object.
  return parsed && !reader.sawNul() && !reader.readFailed();
}

}  // namespace TQFullViewAnswerReader
