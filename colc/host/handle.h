// Host reference-counted handles. Objects reached through a kcPtrHandle
// derive from kcRefCounted; the count changes atomically.
#pragma once

#include <atomic>

#include "colc/host/exceptions.h"

long kfInterlockedIncrement(std::atomic<long>& value);
long kfInterlockedDecrement(std::atomic<long>& value);

class kcRefCounted {
 public:
  kcRefCounted() = default;
  kcRefCounted(const kcRefCounted&) = delete;
  kcRefCounted& operator=(const kcRefCounted&) = delete;
  virtual ~kcRefCounted() = default;

 private:
  template <class T>
  friend class kcPtrHandle;
  std::atomic<long> refCount_{0};
};

// A counted reference that may be null; dereferencing null throws kcBadPointer.
template <class T>
class kcPtrHandle {
 public:
  kcPtrHandle() = default;
  // Takes a counted reference to a new or shared object.
  explicit kcPtrHandle(T* object) : object_(object) { acquire(); }
  kcPtrHandle(const kcPtrHandle& other) : object_(other.object_) { acquire(); }
  template <class U>
  kcPtrHandle(const kcPtrHandle<U>& other) : object_(other.get()) {  // NOLINT: converting like a pointer
    acquire();
  }
  kcPtrHandle& operator=(const kcPtrHandle& other) {
    kcPtrHandle copy(other);
    std::swap(object_, copy.object_);
    return *this;
  }
  ~kcPtrHandle() { release(); }

  T* get() const { return object_; }
  bool isNull() const { return object_ == nullptr; }
  explicit operator bool() const { return object_ != nullptr; }
  T& operator*() const { return *checked(); }
  T* operator->() const { return checked(); }

 private:
  T* checked() const {
    if (!object_) throw kcBadPointer("null handle");
    return object_;
  }
  void acquire() {
    if (object_) kfInterlockedIncrement(object_->refCount_);
  }
  void release() {
    if (object_ && kfInterlockedDecrement(object_->refCount_) == 0) delete object_;
    object_ = nullptr;
  }

  T* object_ = nullptr;
};
