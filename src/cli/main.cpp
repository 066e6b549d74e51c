#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/exe_dir.h"
#include "app/startup.h"
#include "cli/cli_app.h"
#include "link/adapters.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"

// The composition root: the system's adapters, the process's store and link
// manager, and the files beside the program.
int main(int argc, char** argv) {
  using namespace brevant;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  // Side by side with the window or other runs: no one-copy guard here.
  const auto core = StartAppCore(ExecutableDirectory(), false);
  cli::CliServices services;
  services.directory = ExecutableDirectory();
  services.adapters = std::make_shared<SysfsAdapterSource>();
  services.store = []() -> CSqlManagement& { return CSqlManagement::Instance(); };
  services.link = []() -> AcTransmitManage& { return AcTransmitManage::Instance(); };
  return cli::RunCli(arguments, std::cout, std::cerr, services);
}
