// An image of the layer, known by its number, freed when its owner goes or takes another.
#pragma once
#include <utility>

#include "platform/window_system.h"

namespace graphview {

class OwnedImage {
 public:
  OwnedImage() = default;
  explicit OwnedImage(int number) : m_number(number) {}
  ~OwnedImage() { Reset(); }
  OwnedImage(OwnedImage&& other) noexcept : m_number(std::exchange(other.m_number, 0)) {}
  OwnedImage& operator=(OwnedImage&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.m_number, 0));
    return *this;
  }
  OwnedImage(const OwnedImage&) = delete;
  OwnedImage& operator=(const OwnedImage&) = delete;

  // Frees the image held, if any, and holds number (0: none).
  void Reset(int number = 0) {
    if (m_number) platform::FreeImage(m_number);
    m_number = number;
  }
  int Number() const { return m_number; }
  explicit operator bool() const { return m_number != 0; }

 private:
  int m_number = 0;
};

}  // namespace graphview
