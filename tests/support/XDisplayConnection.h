#pragma once

namespace selvane::test {

// A connection to the X display the tests draw on: handed to the fake's render window, and
// opened once before Qt connects, which aborts when refused. A virtual X server under load has
// refused a test's first connection now and then, and VTK's interactor then crashed on the
// null display. Here a refused connection is tried again for a few seconds, and one that never
// comes is an exception naming the display.
class XDisplayConnection {
public:
  XDisplayConnection();
  ~XDisplayConnection();
  XDisplayConnection(const XDisplayConnection&) = delete;
  XDisplayConnection& operator=(const XDisplayConnection&) = delete;

  // The Xlib Display, as VTK's render windows take it.
  void* Handle() const { return Connection; }

private:
  void* Connection = nullptr;
};

} // namespace selvane::test
