#pragma once

#include <type_traits>
#include <typeinfo>

// The root of the model's class tree. Lists such as the document's selection hold
// objects of mixed classes and tell them apart with Is<T>() and As<T>(); every
// class that can end up there also answers ClassName() with its own name, for
// messages.
//
// Copying is protected: a class made of values copies with its defaulted copy,
// so that a field added later is copied too, and its CopyFrom is built on that
// copy; a class holding an owning list is not copyable and copies item by item.
class TObject {
public:
  TObject() = default;
  virtual ~TObject() = default;

  virtual const char* ClassName() const { return "TObject"; }

  // Whether the object's class is exactly T (a class derived from T is not).
  template <class T>
  bool Is() const {
    static_assert(std::is_base_of_v<TObject, T>, "a class of the model");
    return typeid(*this) == typeid(T);
  }
  // The object as a T when its class is exactly T; null otherwise.
  template <class T>
  T* As() {
    return Is<T>() ? static_cast<T*>(this) : nullptr;
  }
  template <class T>
  const T* As() const {
    return Is<T>() ? static_cast<const T*>(this) : nullptr;
  }

protected:
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;
};
