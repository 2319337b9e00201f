#!/usr/bin/env python3
"""A fake Internet gateway for the checker's discovery tests: answers SSDP searches on
239.255.255.250:1900 (joined on 127.0.0.1) and serves a root device description with a
WANIPConnection service whose GetExternalIPAddress gives the address named on the command
line. Prints "ready" once both sockets listen. Run it only inside a private network
namespace."""
import http.server
import socket
import struct
import sys
import threading

EXTERNAL = sys.argv[1] if len(sys.argv) > 1 else "203.0.113.5"

DESCRIPTION = """<?xml version="1.0"?>
<root xmlns="urn:schemas-upnp-org:device-1-0">
<specVersion><major>1</major><minor>0</minor></specVersion>
<device>
<deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>
<friendlyName>fake gateway</friendlyName><UDN>uuid:fake-gateway-0001</UDN>
<deviceList><device>
<deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType><UDN>uuid:fake-wan-0001</UDN>
<serviceList><service>
<serviceType>urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1</serviceType>
<serviceId>urn:upnp-org:serviceId:WANCommonIFC1</serviceId>
<controlURL>/ctl/CmnIfCfg</controlURL><eventSubURL>/evt/CmnIfCfg</eventSubURL>
<SCPDURL>/WANCfg.xml</SCPDURL>
</service></serviceList>
<deviceList><device>
<deviceType>urn:schemas-upnp-org:device:WANConnectionDevice:1</deviceType>
<UDN>uuid:fake-wanconn-0001</UDN>
<serviceList><service>
<serviceType>urn:schemas-upnp-org:service:WANIPConnection:1</serviceType>
<serviceId>urn:upnp-org:serviceId:WANIPConn1</serviceId>
<controlURL>/ctl/IPConn</controlURL><eventSubURL>/evt/IPConn</eventSubURL>
<SCPDURL>/WANIPCn.xml</SCPDURL>
</service></serviceList>
</device></deviceList>
</device></deviceList>
</device>
</root>
"""

SOAP = ('<?xml version="1.0"?><s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/" '
        's:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"><s:Body>'
        '<u:{0}Response xmlns:u="urn:schemas-upnp-org:service:WANIPConnection:1">{1}'
        '</u:{0}Response></s:Body></s:Envelope>')


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def answer(self, body, code=200):
        data = body.encode()
        self.send_response(code)
        self.send_header("Content-Type", "text/xml")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        self.answer(DESCRIPTION)

    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length", "0")))
        action = self.headers.get("SOAPAction", "").strip('"').split("#")[-1]
        if action == "GetExternalIPAddress":
            self.answer(SOAP.format(action,
                                    "<NewExternalIPAddress>%s</NewExternalIPAddress>" % EXTERNAL))
        elif action == "GetStatusInfo":
            self.answer(SOAP.format(action, "<NewConnectionStatus>Connected</NewConnectionStatus>"
                                    "<NewLastConnectionError>ERROR_NONE</NewLastConnectionError>"
                                    "<NewUptime>100</NewUptime>"))
        else:
            self.answer("", 500)


def main():
    web = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    location = "http://127.0.0.1:%d/rootDesc.xml" % web.server_address[1]
    threading.Thread(target=web.serve_forever, daemon=True).start()

    ssdp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    ssdp.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    ssdp.bind(("0.0.0.0", 1900))
    membership = struct.pack("4s4s", socket.inet_aton("239.255.255.250"),
                             socket.inet_aton("127.0.0.1"))
    ssdp.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, membership)
    print("ready", flush=True)
    while True:
        packet, sender = ssdp.recvfrom(2048)
        text = packet.decode(errors="replace")
        if not text.startswith("M-SEARCH"):
            continue
        target = "upnp:rootdevice"
        for line in text.split("\r\n"):
            if line.lower().startswith("st:"):
                target = line[3:].strip()
        reply = ("HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\nST: %s\r\n"
                 "USN: uuid:fake-gateway-0001::%s\r\nEXT:\r\nSERVER: fake/1.0 UPnP/1.0\r\n"
                 "LOCATION: %s\r\n\r\n" % (target, target, location))
        ssdp.sendto(reply.encode(), sender)


if __name__ == "__main__":
    main()
