#include "net/host_lookup.h"

#include "platform/private_module.h"

namespace glx {

const char kHostLookupMissingMessage[] = "The host lookup could not be loaded: ";

namespace {

// Stands for the resolver module until the first lookup loads it.
class ModuleHostLookup : public HostLookup {
 public:
  int start(const std::string& name, Done done) override { return resolver().start(name, std::move(done)); }

  void abort(int id) override {
    // No lookup was started before the module was loaded.
    if (m_resolver) m_resolver->abort(id);
  }

 private:
  HostLookup& resolver() {
    if (!m_resolver) {
      using Entry = HostLookup* (*)();
      const PrivateModule module{GLX_RESOLVER_MODULE_NAME, GLX_RESOLVER_MODULE_BUILT, kHostLookupModuleEntry};
      m_resolver = reinterpret_cast<Entry>(loadPrivateModule(module, kHostLookupMissingMessage))();
    }
    return *m_resolver;
  }

  HostLookup* m_resolver = nullptr;
};

}  // namespace

std::shared_ptr<HostLookup> systemHostLookup() {
  static std::shared_ptr<HostLookup> lookup = std::make_shared<ModuleHostLookup>();
  return lookup;
}

}  // namespace glx
