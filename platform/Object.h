#pragma once

// The root of the model's class tree. Lists such as the document's selection hold
// objects of mixed classes and tell them apart by their class name, so every class
// that can end up there answers ClassName() with its own name.
class TObject {
public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  virtual const char* ClassName() const { return "TObject"; }
};
