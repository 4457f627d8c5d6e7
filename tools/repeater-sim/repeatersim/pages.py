"""The device's web pages. Texts are strings of one character per byte (ISO-8859-1)."""

from . import settings as rules

HEAD = """<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=iso-8859-1">
<meta http-equiv="Pragma" content="no-cache">
<title>%(model)s - %(title)s</title>
<link rel="stylesheet" href="/style.css" type="text/css">
<script language="JavaScript" type="text/javascript">
var IPAddress = "IP Address";
var SubnetMask = "Subnet Mask";
var DefaultGateway = "Default Gateway";
function dw(text) { document.write(text); }
function goTo(page) { window.location.href = page; }
</script>
</head>
<body bgcolor="#FFFFFF" leftmargin="0" topmargin="0" marginwidth="0" marginheight="0">
<table width="600" border="0" cellspacing="0" cellpadding="0" align="center">
  <tr>
    <td class="banner" height="60">%(model)s Smart Repeater</td>
  </tr>
  <tr>
    <td class="menu">
      <a href="/02_00_00_status.asp">Status</a> |
      <a href="/01_03_00_homenet.asp">LAN</a> |
      <a href="/wanwisp.asp">Wireless</a> |
      <a href="/03_02_firmware_b.asp">Firmware</a> |
      <a href="/01_01_02_passset.asp">Password</a> |
      <a href="/03_03_reset.asp">Reset</a>
    </td>
  </tr>
</table>
"""

TAIL = """<br>
<table width="600" border="0" align="center"><tr><td class="footer">
  Copyright &copy; Smart Repeater firmware
</td></tr></table>
</body>
</html>
"""


def _row(label, value, spread=False):
    # Some rows carry their value on lines of their own, as template engines leave them.
    if spread:
        value = "\n\t\t\t%s\n\t\t" % value
    return ("  <tr>\n"
            "    <td width=\"40%%\" class=\"item\"><div align=\"right\">%s</div></td>\n"
            "    <td width=\"60%%\" class=\"value\"><div align=\"left\">%s</div></td>\n"
            "  </tr>\n") % (label, value)


def _table(title, rows):
    return ("<table width=\"600\" border=\"0\" cellspacing=\"1\" cellpadding=\"3\" align=\"center\">\n"
            "  <tr><td colspan=\"2\" class=\"title\">%s</td></tr>\n%s</table>\n") % (title,
                                                                                "".join(rows))


def page(model, title, content):
    return HEAD % {"model": model, "title": title} + content + TAIL


def mac_colons(mac_hex):
    return ":".join(mac_hex[i:i + 2] for i in range(0, 12, 2))


def _dhcp_cell(running):
    if running["dhcp"]:
        return "%s - %s (Enable)" % (running["dhcp_start"], running["dhcp_end"])
    return "Off (Disable)"


def lan_page(device):
    running = device.settings.running
    rows = [_row("IP Address:", running["ip"]),
            _row("Subnet Mask:", running["mask"], spread=True),
            _row("DHCP Server:", _dhcp_cell(running)),
            _row("MAC Address:", mac_colons(device.page_mac()), spread=True)]
    return page(device.model, "Home Network", _table("LAN Settings", rows))


def wan_page(device):
    wan = device.settings.wan
    wireless = device.settings.running["wireless"]
    form = ("<form method=\"post\" name=\"wanform\" action=\"/goform/formWanTcpipSetup\">\n"
            "<input type=\"hidden\" name=\"wantype\" value=\"dhcp\">\n"
            "<input type=\"hidden\" name=\"dns1\" value=\"%s\">\n"
            "<input type=\"hidden\" name=\"dns2\" value=\"%s\">\n"
            "<input type=\"hidden\" name=\"gw\" value=\"%s\">\n"
            "</form>\n") % (wan["dns1"], wan["dns2"], wan["gw"])
    address_rows = [
        _row("<script>dw(IPAddress)</script>:", wan["ip"]),
        _row("<script>dw(SubnetMask)</script>:", wan["mask"], spread=True),
        _row("<script>dw(DefaultGateway)</script>:", wan["gw"] or "0.0.0.0")]
    wireless_rows = [
        _row("Mode:", rules.MODE_NAMES.get(wireless["stadrv_type"], "Unknown")),
        _row("SSID:", wireless["stadrv_ssid"], spread=True),
        _row("Channel:", wireless["stadrv_chan"]),
        _row("Security:", rules.security_text(wireless)),
        _row("Status:", "Connected" if wan["associated"] else "Not connected")]
    return page(device.model, "Internet", form + _table("Internet Connection", address_rows) +
                _table("Wireless Uplink", wireless_rows))


def status_page(device, banner=""):
    running = device.settings.running
    system_rows = [_row("Model:", device.model),
                   _row("Up Time:", device.uptime_text()),
                   _row("Boot Code Version:", "1.0.0"),
                   _row("Runtime Code Version:", running["firmware"], spread=True)]
    lan_rows = [_row("IP Address:", running["ip"]), _row("Subnet Mask:", running["mask"]),
                _row("MAC Address:", mac_colons(device.page_mac()))]
    notice = ("<p align=\"center\" class=\"notice\">%s</p>\n" % banner) if banner else ""
    return page(device.model, "Status", notice + _table("System", system_rows) +
                _table("LAN", lan_rows))


def _attribute(text):
    return text.replace("&", "&amp;").replace("\"", "&quot;")


def survey_page(device, networks, open_cells=0):
    """With open_cells, the real rows are followed by that many cell openings that no cell
    closes but the single one at the very end, and the count announces them as networks."""
    head = ("<form method=\"post\" action=\"/goform/formWlSiteSurvey\" name=\"formWlSiteSurvey\">\n"
            "<table width=\"600\" border=\"0\" cellspacing=\"1\" cellpadding=\"2\" align=\"center\">\n"
            "  <tr class=\"tbl_head\">\n")
    for title in ("Channel", "SSID", "BSSID", "Encrypt", "Auth", "Signal (%)", "Mode", "Select"):
        head += "    <td align=\"center\"><b>%s</b></td>\n" % title
    announced = len(networks) + open_cells // 8
    head += "  </tr>\n<input type=\"hidden\" name=\"apCount\" value=\"%d\">\n" % announced
    rows = []
    for index, network in enumerate(networks):
        ssid = network["ssid"].encode("utf-8").decode("latin-1")
        cells = [
            "%s<input type=\"hidden\" name=\"chan%d\" value=\"%s\">" % (
                network["channel"], index, _attribute(network["channel"])),
            "%s<input type=\"hidden\" name=\"ssid%d\" value=\"%s\">" % (ssid, index,
                                                                         _attribute(ssid)),
            network["bssid"], network["cipher"], network["auth"], network["signal"],
            network["mode"],
            "<input type=\"radio\" name=\"select\" value=\"sel%d\" onClick=\"pick(%d)\">" % (
                index, index)]
        row = "  <tr class=\"tbl_body\">\n"
        for cell in cells:
            row += "    <td align=\"center\"><font size=\"2\">%s</font></td>\n" % cell
        rows.append(row + "  </tr>\n")
    if open_cells:
        rows.append("<font size=\"2\">" * open_cells + "</font>\n")
    tail = ("</table>\n<p align=\"center\"><input type=\"button\" value=\"Refresh\" "
            "onClick=\"window.location.reload()\"></p>\n</form>\n")
    script = ("<script language=\"JavaScript\">\n"
              "function pick(i) { document.formWlSiteSurvey.selected.value = i; }\n"
              "</script>\n")
    return page(device.model, "Site Survey", script + head + "".join(rows) + tail)


def message_page(device, title, text, back):
    content = ("<table width=\"600\" border=\"0\" align=\"center\">\n"
               "  <tr><td class=\"title\">%s</td></tr>\n"
               "  <tr><td class=\"message\">%s</td></tr>\n"
               "  <tr><td align=\"center\"><form><input type=\"button\" value=\" OK \" "
               "onClick=\"goTo('%s')\"></form></td></tr>\n</table>\n") % (title, text, back)
    return page(device.model, title, content)


def form_page(device, title, action, fields):
    inputs = "".join("  <tr><td>%s</td><td><input type=\"%s\" name=\"%s\" value=\"%s\"></td></tr>\n"
                     % (label, kind, name, _attribute(value))
                     for label, kind, name, value in fields)
    content = ("<form method=\"post\" action=\"%s\">\n<table width=\"600\" align=\"center\">\n"
               "  <tr><td colspan=\"2\" class=\"title\">%s</td></tr>\n%s"
               "  <tr><td colspan=\"2\"><input type=\"submit\" name=\"save\" value=\"Apply\">"
               "</td></tr>\n</table>\n</form>\n") % (action, title, inputs)
    return page(device.model, title, content)


def setup_pages(device):
    """The device's own setup pages, the ones its form posts come back to."""
    running = device.settings.running
    wireless = running["wireless"]
    return {
        "/01_03_00_homenet.asp": form_page(device, "LAN Setup", "/goform/formTcpipSetup", [
            ("LAN IP", "text", "ip", running["ip"]), ("Mask", "text", "mask", running["mask"]),
            ("DHCP", "text", "dhcp", "2" if running["dhcp"] else "0"),
            ("Start", "text", "dhcpRangeStart", running["dhcp_start"]),
            ("End", "text", "dhcpRangeEnd", running["dhcp_end"]),
            ("", "hidden", "submit-url", "/01_03_00_homenet.asp")]),
        "/01_01_02_passset.asp": form_page(device, "Password", "/goform/formPasswordSetup", [
            ("Old", "password", "oldpass", ""), ("New", "password", "newpass", ""),
            ("Confirm", "password", "confpass", ""),
            ("", "hidden", "submit-url", "/01_01_02_passset.asp")]),
        "/03_03_reset.asp": form_page(device, "Reboot", "/goform/formReboot", [
            ("", "hidden", "reset_flag", "0"), ("", "hidden", "submit-url", "/03_03_reset.asp")]),
        "/wanwisp.asp": form_page(device, "Wireless Repeater", "/goform/formStaDrvSetup", [
            ("SSID", "text", "stadrv_ssid", wireless["stadrv_ssid"]),
            ("Channel", "text", "stadrv_chan", wireless["stadrv_chan"]),
            ("", "hidden", "stadrv_type", "3"), ("", "hidden", "submit-url", "/wanwisp.asp")]),
        "/03_02_firmware_b.asp": page(device.model, "Firmware", (
            "<form method=\"post\" action=\"/goform/formUpload\" enctype=\"multipart/form-data\">\n"
            "<input type=\"file\" name=\"binary\">\n"
            "<input type=\"hidden\" name=\"submit-url\" value=\"03_02_firmware_b.asp\">\n"
            "<input type=\"submit\" value=\"Upload\">\n</form>\n")),
    }


def index_page(device):
    return page(device.model, "Home", _table("Welcome", [
        _row("Device:", device.model), _row("Firmware:", device.settings.running["firmware"])]))
