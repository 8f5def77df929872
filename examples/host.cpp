// The host of host.c in C++, through qorvcfg.hpp: reads the service
// settings, looks at them, changes the port, adds an upstream server and
// writes the result. Prints what host.c prints and writes the same file.
//
//   qorvcfg_host_cpp service.def service.conf out.conf
#include <iostream>
#include <iterator>

#include "qorvcfg.hpp"

int main(int argc, char **argv) {
  if (argc != 4) {
    std::cerr << "usage: qorvcfg_host_cpp DEFINITION DATA OUTPUT\n";
    return 2;
  }
  try {
    qorvcfg::Config config(argv[1]);
    config.read(argv[2]);

    const qorvcfg::Items items = config.items();
    std::cout << std::distance(items.begin(), items.end()) << " items:";
    for (const ItemDefinition &item : items) std::cout << ' ' << item.name;
    std::cout << '\n';

    for (qorvcfg::Value listen : config.values("listen")) {
      const IpAddressValue &ip = listen.as_address();
      if (ip.form == Zel_IP_FORM_NUMERIC && ip.family == Zel_IP_FAMILY_V4) {
        std::cout << "listen " << +ip.address[0] << '.' << +ip.address[1] << '.' << +ip.address[2]
                  << '.' << +ip.address[3] << '\n';
      } else {
        std::cout << "listen (not IPv4)\n";
      }
    }

    for (qorvcfg::Value upstream : config.values("upstream")) {
      const qorvcfg::Values name = upstream.values("name");
      const qorvcfg::Values port = upstream.values("port");
      std::cout << "upstream " << (name.empty() ? "(no name)" : name.front().as_string())
                << " port " << (port.empty() ? 0 : port.front().as_int()) << '\n';
    }

    // An item with number 1 has exactly one value or none.
    const qorvcfg::Values ports = config.values("port");
    if (ports.empty()) {
      const qorvcfg::Value port = config.create("port");
      config.change(port, 8443);
      config.add(port);
    } else {
      config.change(ports.front(), 8443);
    }

    // The members first, so that the structure enters its item's index with
    // its identifier in place.
    const qorvcfg::Value upstream = config.create("upstream");
    auto add_member = [&](const char *name, const auto &contents) {
      const qorvcfg::Value member = upstream.create(name);
      upstream.change(member, contents);
      upstream.add(member);
    };
    add_member("name", "gamma");
    add_member("host", qorvcfg::ipv4(10, 0, 0, 13));
    upstream.add(upstream.create("port"));
    add_member("weight", 2);
    config.add(upstream);

    const qorvcfg::Default level = config.default_value("log_level");
    std::cout << "log_level default "
              << (level.as_word().data() != nullptr ? level.as_word() : "(none)") << '\n';

    config.write(argv[3]);
    std::cout << "written to " << argv[3] << '\n';
  } catch (const qorvcfg::Error &error) {
    std::cout.flush();
    std::cerr << "qorvcfg_host_cpp: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
