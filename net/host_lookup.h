// The asynchronous host-name lookup of the socket client. It is an interface
// so that tests can simulate an unknown host or a lookup that never answers
// without depending on this machine's resolver.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace glx {

class HostLookup {
 public:
  // error: 0, or a Winsock lookup error number (11001 host not found ...).
  // address: the first IPv4 address, in network byte order, when error is 0.
  using Done = std::function<void(int error, uint32_t address)>;

  virtual ~HostLookup() = default;
  // Starts a lookup of name. done runs later on the GUI thread, never from
  // inside start(), and never after abort(id). Returns the lookup's id.
  virtual int start(const std::string& name, Done done) = 0;
  virtual void abort(int id) = 0;
};

// The system resolver through QHostInfo. Its module is loaded by the first
// start(), which throws Error(kHostLookupMissingMessage + the reason) when
// the module cannot be loaded.
std::shared_ptr<HostLookup> systemHostLookup();

// "The host lookup could not be loaded: %s"
extern const char kHostLookupMissingMessage[];

// The name the module's entry point is exported under.
inline constexpr const char* kHostLookupModuleEntry = "glimmeraxHostLookup";

}  // namespace glx
