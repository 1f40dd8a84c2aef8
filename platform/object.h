#pragma once

namespace platform {

// Root of the platform's object types, so that an action's sender can be any of them.
class Object {
 public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;
};

}  // namespace platform
