#include <cxxabi.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <utility>

#include "colc/host/exceptions.h"
#include "colc/host/persist.h"
#include "host/persist/archive_pass.h"

namespace {

// The objects handled in the archive pass running on this thread. A pass
// is one top-level writeObject/readObject; nested objects join it.
thread_local std::set<std::pair<const void*, std::size_t>>* tVisited = nullptr;

struct ClassTable {
  std::mutex mutex;
  std::map<std::string, kc_Instantiator::Factory> factories;
};

// Constructed on first use, so registrations made while libraries load
// never meet an unconstructed table.
ClassTable& classTable() {
  static ClassTable table;
  return table;
}

}  // namespace

kcArchivePass::kcArchivePass() : outer_(tVisited == nullptr) {
  if (outer_) tVisited = new std::set<std::pair<const void*, std::size_t>>();
}

kcArchivePass::~kcArchivePass() {
  if (outer_) {
    delete tVisited;
    tVisited = nullptr;
  }
}

kcPersistent::~kcPersistent() = default;

bool kcPersistent::haveVisited(const void* object, std::size_t key) {
  return tVisited != nullptr && tVisited->count({object, key}) != 0;
}

void kcPersistent::setVisited(const void* object, std::size_t key) {
  if (tVisited != nullptr) tVisited->insert({object, key});
}

void kcPersistent::dispatchSerialize(kcArchive&) {}

void kcPersistent::reInit() {}

bool kcPersistent::loadSimple(kcArchive&) { return false; }

kc_Instantiator::kc_Instantiator(const std::type_info& type, Factory make) : name_(className(type)) {
  ClassTable& table = classTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.factories[name_] = make;
}

kc_Instantiator::~kc_Instantiator() {
  ClassTable& table = classTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.factories.erase(name_);
}

std::string kc_Instantiator::className(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> readable(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                  std::free);
  return status == 0 && readable ? std::string(readable.get()) : std::string(type.name());
}

kc_Instantiator::Factory kc_Instantiator::find(const std::string& className) {
  ClassTable& table = classTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  const auto it = table.factories.find(className);
  return it == table.factories.end() ? nullptr : it->second;
}
