#!/usr/bin/env python3
"""The host of host.c in Python, through the qorvcfg package: reads the
service settings, looks at them, changes the port, adds an upstream server
and writes the result. Prints what host.c prints and writes the same file.

    python3 host.py service.def service.conf out.conf
"""

import ipaddress
import sys

import qorvcfg


def main(definition, data, output):
    with qorvcfg.Config(definition) as config:
        config.read(data)
        print("%d items: %s" % (len(config), " ".join(config)))
        for listen in config["listen"]:
            if isinstance(listen, ipaddress.IPv4Address):
                print("listen", listen)
            else:
                print("listen (not IPv4)")
        for upstream in config["upstream"]:
            name, port = upstream["name"], upstream["port"]
            print("upstream %s port %d" % (name[0] if name else "(no name)",
                                          port[0] if port else 0))
        ports = config["port"]
        if ports:
            config.change("port", ports[0], 8443)
        else:
            config.add("port", 8443)
        # The members go in before the structure (None: the member's default).
        config.add("upstream", {"name": "gamma", "host": ipaddress.ip_address("10.0.0.13"),
                                "port": None, "weight": 2})
        level = config.default("log_level")
        print("log_level default", level if level is not None else "(none)")
        config.write(output)
        print("written to", output)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        print("usage: host.py DEFINITION DATA OUTPUT", file=sys.stderr)
        sys.exit(2)
    try:
        main(*sys.argv[1:])
    except qorvcfg.Error as error:
        sys.stdout.flush()
        sys.exit("host.py: %s" % error)
