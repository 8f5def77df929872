// qorvcfg.hpp: the C++ interface, header-only, C++17, over the C functions of
// qorvcfg.h (link the same library).
//
//   qorvcfg::Config config("service.def");       // owns the handle
//   config.read("service.conf");
//   for (qorvcfg::Value port : config.values("port")) std::cout << port.as_int();
//   qorvcfg::Value added = config.create("port"); // from the item's default
//   config.change(added, 8443);                   // checked against the item
//   config.add(added);
//   config.write("out.conf");
//
// Every failed call throws qorvcfg::Error with the library's result code.
// Views (Value, Default, Values, Items) hold only pointers into the handle:
// none of them keeps its Config alive, and each is valid exactly as long as
// the record it shows (see "Lifetime" in qorvcfg.h): until the Config is
// destroyed, or until a failed read empties it. A Config is move-only; a
// moved-from Config holds no handle and answers every call with Zel_EINVAL.
// Threads: as for the C functions, never use one Config on two threads while
// one of them reads, adds, changes, deletes, writes or destroys.
#ifndef QORVCFG_HPP
#define QORVCFG_HPP

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "qorvcfg.h"

namespace qorvcfg {

// The name and meaning of a result code, as Qorvcfg_ResultText gives them.
inline std::string result_text(ResultCode code) {
  char text[192];
  const std::size_t length = Qorvcfg_ResultText(code, text, sizeof text);
  return std::string(text, length < sizeof text ? length : sizeof text - 1);
}

// A call that did not answer Zel_OK. what() is the code's name and meaning.
class Error : public std::runtime_error {
 public:
  explicit Error(ResultCode code) : std::runtime_error(result_text(code)), code_(code) {}
  // The whole code, Windows error number included (Zel_ESYSTEM | 2).
  ResultCode code() const noexcept { return code_; }
  // The code without that number: compare it with Zel_ESYSTEM or Zel_EBUSY.
  ResultCode base() const noexcept { return code_ & Zel_CODE_MASK; }

 private:
  ResultCode code_;
};

inline void check(ResultCode code) {
  if (code != Zel_OK) throw Error(code);
}

// Address contents for change(): a numeric IPv4 or IPv6 address without a
// mask, or a host name (the text is copied by the change; it need not outlive
// the call).
inline IpAddressValue ipv4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  IpAddressValue address{};
  address.form = Zel_IP_FORM_NUMERIC;
  address.family = Zel_IP_FAMILY_V4;
  address.address[0] = a;
  address.address[1] = b;
  address.address[2] = c;
  address.address[3] = d;
  return address;
}
inline IpAddressValue ipv6(const std::uint8_t (&bytes)[16]) {
  IpAddressValue address{};
  address.form = Zel_IP_FORM_NUMERIC;
  address.family = Zel_IP_FAMILY_V6;
  for (int i = 0; i < 16; ++i) address.address[i] = bytes[i];
  return address;
}
inline IpAddressValue host_name(const char *name) {
  IpAddressValue address{};
  address.form = Zel_IP_FORM_HOSTNAME;
  address.host_name = const_cast<char *>(name);
  return address;
}

namespace detail {

inline std::string_view text_of(const char *text) {
  return text != nullptr ? std::string_view(text) : std::string_view();
}

// Typed reading of a record's payload; each accessor throws Error(Zel_EINVAL)
// when the record is of another type.
template <class Record>
class Payload {
 public:
  ItemType type() const noexcept { return record_->type; }
  std::int64_t as_int() const { return expect(Zel_TYPE_INTEGER).integer; }
  // The text without its terminating zero; empty for a missing text.
  std::string_view as_string() const { return text_of(expect(Zel_TYPE_STRING).text); }
  bool as_bool() const { return expect(Zel_TYPE_BOOLEAN).boolean != 0; }
  const IpAddressValue &as_address() const { return expect(Zel_TYPE_IPADDR).ipaddr; }
  std::string_view as_word() const { return text_of(expect(Zel_TYPE_ENUMERATION).keyword); }

 protected:
  explicit Payload(Record *record) noexcept : record_(record) {}
  const DataPayload &expect(ItemType type) const {
    if (record_->type != type) throw Error(Zel_EINVAL);
    return record_->payload;
  }
  Record *record_;
};

// Where an operation works: the top level of a handle, or the inside of a
// structure value.
struct Place {
  ConfigHandle *handle;
  DataRecord *parent;
};

}  // namespace detail

class Value;
class Values;
class Items;

// An item's default (read-only; lives as long as the handle).
class Default : public detail::Payload<const DefaultRecord> {
 public:
  explicit Default(const DefaultRecord *record) noexcept : Payload(record) {}
  const DefaultRecord *record() const noexcept { return record_; }
};

// The items of one level, in definition order: ItemDefinition records with
// their name, type, bounds, number, default and flags.
class Items {
 public:
  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = ItemDefinition;
    using difference_type = std::ptrdiff_t;
    using pointer = const ItemDefinition *;
    using reference = const ItemDefinition &;
    explicit iterator(const ItemDefinition *item = nullptr) noexcept : item_(item) {}
    reference operator*() const noexcept { return *item_; }
    pointer operator->() const noexcept { return item_; }
    iterator &operator++() noexcept {
      item_ = item_->next;
      return *this;
    }
    iterator operator++(int) noexcept {
      iterator before = *this;
      item_ = item_->next;
      return before;
    }
    bool operator==(const iterator &other) const noexcept { return item_ == other.item_; }
    bool operator!=(const iterator &other) const noexcept { return item_ != other.item_; }

   private:
    const ItemDefinition *item_;
  };
  explicit Items(const ItemDefinition *first) noexcept : first_(first) {}
  iterator begin() const noexcept { return iterator(first_); }
  iterator end() const noexcept { return iterator(); }
  bool empty() const noexcept { return first_ == nullptr; }

 private:
  const ItemDefinition *first_;
};

// What Config and structure values share: the operations on their level.
// Self gives its place().
template <class Self>
class Level {
 public:
  // The item's values, greatest first (the library's order).
  Values values(const char *name) const;
  Values values(const std::string &name) const;
  // The item's default.
  Default default_value(const char *name) const;
  // A new value made from the item's default; in no container until add().
  Value create(const char *name) const;
  // The items of this level.
  Items items() const noexcept;
  // Adds a value made by create() on this level (and given its contents).
  void add(Value value) const;
  // Changes a value of this level, or one made by create() that is not yet
  // added. contents by the value's type: an integer type for integer, bool
  // for boolean, a text (const char *, std::string, std::string_view) for
  // string and enumeration, IpAddressValue for ipaddr. Another type of
  // contents throws Error(Zel_EINVAL) and changes nothing.
  template <class Contents>
  void change(Value value, const Contents &contents) const;
  // Takes a value out of this level; it stays valid and may be added again.
  void remove(Value value) const;

 private:
  detail::Place place() const noexcept { return static_cast<const Self *>(this)->place(); }
};

// A value: a view of a DataRecord that the library handed out. A structure
// value is also a Level: values(), create(), add() and the rest work on its
// members.
class Value : public detail::Payload<DataRecord>, public Level<Value> {
 public:
  explicit Value(DataRecord *record) noexcept : Payload(record) {}
  DataRecord *record() const noexcept { return record_; }
  bool operator==(const Value &other) const noexcept { return record_ == other.record_; }
  bool operator!=(const Value &other) const noexcept { return record_ != other.record_; }
  detail::Place place() const noexcept { return {nullptr, record_}; }
};

// The values of one item, from one listing: the array the library fills. A
// range of Value.
class Values {
 public:
  class iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = Value;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Value;
    explicit iterator(DataRecord *const *at = nullptr) noexcept : at_(at) {}
    Value operator*() const noexcept { return Value(*at_); }
    iterator &operator++() noexcept {
      ++at_;
      return *this;
    }
    iterator operator++(int) noexcept { return iterator(at_++); }
    difference_type operator-(const iterator &other) const noexcept { return at_ - other.at_; }
    bool operator==(const iterator &other) const noexcept { return at_ == other.at_; }
    bool operator!=(const iterator &other) const noexcept { return at_ != other.at_; }

   private:
    DataRecord *const *at_;
  };
  Values() noexcept = default;
  Values(std::unique_ptr<DataRecord *[]> records, std::uint32_t size) noexcept
      : records_(std::move(records)), size_(size) {}
  iterator begin() const noexcept { return iterator(records_.get()); }
  iterator end() const noexcept { return iterator(records_.get() + size_); }
  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  Value operator[](std::size_t i) const noexcept { return Value(records_[i]); }
  Value front() const noexcept { return Value(records_[0]); }

 private:
  std::unique_ptr<DataRecord *[]> records_;
  std::uint32_t size_ = 0;
};

// A configuration: the handle made from a definition file, and its values.
class Config : public Level<Config> {
 public:
  explicit Config(const char *definition_path) {
    check(Zel_ConfigCreate(definition_path, &handle_));
  }
  explicit Config(const std::string &definition_path) : Config(definition_path.c_str()) {}
  Config(Config &&other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Config &operator=(Config &&other) noexcept {
    if (this != &other) {
      Zel_ConfigDestroy(handle_);
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  Config(const Config &) = delete;
  Config &operator=(const Config &) = delete;
  ~Config() { Zel_ConfigDestroy(handle_); }

  // Adds the values of a data file, or of a data text in memory. A failure
  // while loading leaves the Config empty (every earlier Value is invalid).
  void read(const char *path) { check(Zel_ConfigRead(path, handle_)); }
  void read(const std::string &path) { read(path.c_str()); }
  void read_text(const char *text) { check(Zel_ConfigReadFromData(text, handle_)); }
  void read_text(const std::string &text) { read_text(text.c_str()); }
  void write(const char *path) const { check(Zel_ConfigWrite(path, handle_)); }
  void write(const std::string &path) const { write(path.c_str()); }

  // The C handle, for the C functions; null after a move.
  ConfigHandle *handle() const noexcept { return handle_; }
  detail::Place place() const noexcept { return {handle_, nullptr}; }

 private:
  ConfigHandle *handle_ = nullptr;
};

// ---- Level's operations --------------------------------------------------------------------

template <class Self>
Values Level<Self>::values(const char *name) const {
  const detail::Place at = place();
  auto get = [&](DataRecord **records, std::uint32_t *count) {
    return at.parent != nullptr ? Zel_DataGetFromData(at.parent, name, records, count)
                                : Zel_DataGet(at.handle, name, records, count);
  };
  std::uint32_t total = 0;
  check(get(nullptr, &total));
  if (total == 0) return Values();
  std::unique_ptr<DataRecord *[]> records(new DataRecord *[total]);
  std::uint32_t count = total;
  check(get(records.get(), &count));
  return Values(std::move(records), count < total ? count : total);
}

template <class Self>
Values Level<Self>::values(const std::string &name) const {
  return values(name.c_str());
}

template <class Self>
Default Level<Self>::default_value(const char *name) const {
  const detail::Place at = place();
  const DefaultRecord *record = nullptr;
  check(at.parent != nullptr ? Zel_DataDefaultGetFromData(at.parent, name, &record)
                             : Zel_DataDefaultGet(at.handle, name, &record));
  return Default(record);
}

template <class Self>
Value Level<Self>::create(const char *name) const {
  const detail::Place at = place();
  DataRecord *record = nullptr;
  check(at.parent != nullptr ? Zel_DataDefaultCreateFromData(at.parent, name, &record)
                             : Zel_DataDefaultCreate(at.handle, name, &record));
  return Value(record);
}

template <class Self>
Items Level<Self>::items() const noexcept {
  const detail::Place at = place();
  if (at.parent != nullptr) {
    const DataContainer &inside = at.parent->nested;
    return Items(at.parent->type == Zel_TYPE_STRUCTURE && inside.count != 0 ? inside.items[0]
                                                                            : nullptr);
  }
  return Items(at.handle != nullptr ? at.handle->items : nullptr);
}

template <class Self>
void Level<Self>::add(Value value) const {
  const detail::Place at = place();
  check(at.parent != nullptr ? Zel_DataAddToData(at.parent, value.record())
                             : Zel_DataAdd(at.handle, value.record()));
}

template <class Self>
void Level<Self>::remove(Value value) const {
  const detail::Place at = place();
  check(at.parent != nullptr ? Zel_DataDelFromData(at.parent, value.record())
                             : Zel_DataDel(at.handle, value.record()));
}

template <class Self>
template <class Contents>
void Level<Self>::change(Value value, const Contents &contents) const {
  const detail::Place at = place();
  auto apply = [&](ItemType required, const void *data) {
    const ItemType type = value.type();
    const bool text = required == Zel_TYPE_STRING;
    if (text ? type != Zel_TYPE_STRING && type != Zel_TYPE_ENUMERATION : type != required) {
      throw Error(Zel_EINVAL);
    }
    check(at.parent != nullptr ? Zel_DataChangeToData(at.parent, value.record(), data)
                               : Zel_DataChange(at.handle, value.record(), data));
  };
  if constexpr (std::is_same_v<Contents, bool>) {
    const std::uint32_t boolean = contents ? 1u : 0u;
    apply(Zel_TYPE_BOOLEAN, &boolean);
  } else if constexpr (std::is_integral_v<Contents>) {
    const std::int64_t integer = static_cast<std::int64_t>(contents);
    apply(Zel_TYPE_INTEGER, &integer);
  } else if constexpr (std::is_same_v<Contents, IpAddressValue>) {
    apply(Zel_TYPE_IPADDR, &contents);
  } else if constexpr (std::is_same_v<Contents, std::string>) {
    apply(Zel_TYPE_STRING, contents.c_str());
  } else if constexpr (std::is_same_v<Contents, std::string_view>) {
    const std::string text(contents);  // the library needs the terminating zero
    apply(Zel_TYPE_STRING, text.c_str());
  } else {
    static_assert(std::is_convertible_v<const Contents &, const char *>,
                  "change() takes an integer, bool, text or IpAddressValue");
    const char *text = contents;
    if (text == nullptr) throw Error(Zel_EINVAL);
    apply(Zel_TYPE_STRING, text);
  }
}

}  // namespace qorvcfg

#endif  // QORVCFG_HPP
