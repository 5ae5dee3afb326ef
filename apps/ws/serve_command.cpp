#include "serve_command.h"

#include <pthread.h>

#include <csignal>
#include <ostream>
#include <thread>

#include "db/date.h"
#include "floor_server.h"
#include "platform/postgres_database.h"
#include "shop/args.h"

namespace ws::cli {

void ServeCommand::PrintHelp(std::ostream& out) const {
  out << "Usage: ws serve --db FILE|URL --listen ADDR:PORT [--cert FILE --key FILE]\n"
         "                [--photos DIR] [--date yyyy-mm-dd]\n"
         "\n"
         "Serves the workshop floor to the shop's tablets and phones: a technician logs in with\n"
         "the shop account, sees the job board, clocks on, pauses and finishes labour lines and\n"
         "fills examinations with photos. The shop must have accounts (ws user). Without --cert\n"
         "and --key the pages travel unencrypted: use them on any network others share.\n"
         "\n"
         "Options:\n"
         "  --db FILE|URL       the shop database\n"
         "  --listen ADDR:PORT  the address to listen on (e.g. 0.0.0.0:8080)\n"
         "  --cert FILE         the TLS certificate (PEM); with --key serves HTTPS\n"
         "  --key FILE          the certificate's private key (PEM)\n"
         "  --photos DIR        where examination photos are kept (default: beside a shop file,\n"
         "                      FILE.photos; required for a server shop)\n"
         "  --date yyyy-mm-dd   the floor's day, the hours of the clock kept (default today):\n"
         "                      a demo shop's last day, for a trial\n"
         "  -h, --help          show this help\n"
         "\n"
         "Stops on Ctrl-C or SIGTERM. Exit status: 0 stopped, 1 could not serve, 2 bad usage.\n";
}

int ServeCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  shop::Arguments arguments;
  std::string file;
  if (auto exit = Begin(args, {"--db", "--listen", "--cert", "--key", "--photos", "--date"}, {}, 0,
                        out, err, arguments, file)) {
    return *exit;
  }
  const std::string listen = arguments.Value("--listen").value_or("");
  const size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0) return Usage(err, "give --listen ADDR:PORT");
  const auto port = shop::ParseWholeNumber(listen.substr(colon + 1), 1, 65535);
  if (!port) return Usage(err, "the port of --listen must be 1 to 65535");
  serve::ServeOptions options;
  options.shop = file;
  options.host = listen.substr(0, colon);
  if (options.host.size() > 2 && options.host.front() == '[' && options.host.back() == ']') {
    options.host = options.host.substr(1, options.host.size() - 2);
  }
  options.port = static_cast<int>(*port);
  options.certFile = arguments.Value("--cert").value_or("");
  options.keyFile = arguments.Value("--key").value_or("");
  options.photoFolder = arguments.Value("--photos").value_or("");
  if (auto date = arguments.Value("--date")) {
    auto day = db::Date::Parse(*date);
    if (!day) return Usage(err, "'" + *date + "' is not a date (yyyy-mm-dd)");
    options.now = [text = day->Text()] { return text + db::NowStamp().substr(10); };
  }
  if (options.certFile.empty() != options.keyFile.empty()) {
    return Usage(err, "--cert and --key go together");
  }
  // Ctrl-C and SIGTERM are taken by a thread of their own, which stops the server.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  serve::FloorServer server(options);
  if (std::string error = server.Open(); !error.empty()) {
    err << "ws serve: " << error << "\n";
    return kExitFailure;
  }
  std::thread waiter([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.Stop();
  });
  out << "Serving " << platform::DisplayUrl(file) << " on " << (server.Tls() ? "https" : "http")
      << "://" << listen << "/\n"
      << std::flush;
  const bool ran = server.Run();
  pthread_kill(waiter.native_handle(), SIGTERM);
  waiter.join();
  if (!ran) {
    err << "ws serve: the server stopped with an error\n";
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace ws::cli
