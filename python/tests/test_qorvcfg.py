"""The Python package against the library named by QORVCFG_LIBRARY."""

import gc
import ipaddress
import pathlib

import pytest

import qorvcfg

ROOT = pathlib.Path(__file__).resolve().parents[2]
EVERY_TYPE = ROOT / "tests" / "data" / "every_type.def.xml"
EVERY_TYPE_DATA = ROOT / "tests" / "data" / "every_type.data.xml"
SERVICE = ROOT / "examples" / "service.def"
CODES = qorvcfg.CODES


@pytest.fixture
def config():
    with qorvcfg.Config(EVERY_TYPE) as loaded:
        loaded.read(EVERY_TYPE_DATA)
        yield loaded


def code_of(call):
    with pytest.raises(qorvcfg.Error) as raised:
        call()
    return raised.value.code


@pytest.mark.parametrize("code, text", [
    (0, "Zel_OK: success"),
    (CODES["Zel_ESYSTEM"] | 2,
     "Zel_ESYSTEM|2: opening, reading or writing a file failed (Windows error 2: file not found)"),
    (CODES["Zel_ESYSTEM"] | 5000,
     "Zel_ESYSTEM|5000: opening, reading or writing a file failed (Windows error 5000)"),
    (CODES["Zel_EBUSY"] | 170, "Zel_EBUSY|170: the file is in use (Windows error 170: busy)"),
    (CODES["Zel_EBUSY"], "Zel_EBUSY: the file is in use"),
    (CODES["Zel_EFOREIGN"], "Zel_EFOREIGN: the value does not belong to this level"),
    (CODES["Zel_ERANGE"] | 3, "0x0A400003: not a result code of qorvcfg"),
    (0x12345678, "0x12345678: not a result code of qorvcfg"),
])
def test_result_text_matches_the_header(code, text):
    assert qorvcfg.result_text(code) == text


@pytest.mark.parametrize("item, expected", [
    ("port", [7, 5, 3]),
    ("count", [2**63 - 1, -2**63]),
    ("flag", [True, False]),
    ("host", [ipaddress.ip_address("2001:db8::1"), ipaddress.ip_address("10.0.0.1"),
              "gateway.example"]),
    ("mode", ["slow"]),
    ("level", []),
    ("blob", []),
])
def test_values_read_as_python_types(config, item, expected):
    assert config[item] == expected


def test_structures_read_like_mappings(config):
    routes = config["route"]
    assert [route["id"] for route in routes] == [[8], [2]]
    assert list(routes[1]) == ["id", "gateway", "hop"] and len(routes[1]) == 3
    assert [hop["note"] for hop in routes[1]["hop"]] == [["second"], ["first"]]
    assert routes[1]["gateway"] == [ipaddress.ip_address("192.168.1.1")]
    assert "gateway" in routes[1] and "port" not in routes[1]
    assert config.default("port") == 80 and config.default("mode") == "fast"
    assert config.default("route") is None and routes[0].default("id") == 0


@pytest.mark.parametrize("what, call, code", [
    ("missing file", lambda c: qorvcfg.Config("no such definition"), CODES["Zel_ESYSTEM"] | 2),
    ("unknown item", lambda c: c["portn"], CODES["Zel_ENOTFOUND"]),
    ("out of bounds", lambda c: c.change("port", 7, 65536), CODES["Zel_ERANGE"]),
    ("beyond 64 bits", lambda c: c.add("count", 2**63), CODES["Zel_ERANGE"]),
    ("bool for an integer", lambda c: c.add("count", True), CODES["Zel_EINVAL"]),
    ("text for a boolean", lambda c: c.change("flag", True, "FALSE"), CODES["Zel_EINVAL"]),
    ("zero byte in a text", lambda c: c.add("blob", "a\0b"), CODES["Zel_EINVAL"]),
    ("word not in the list", lambda c: c.add("mode", "medium"), CODES["Zel_EINVAL"]),
    ("equal value", lambda c: c.add("port", 5), CODES["Zel_EEXIST"]),
    ("number reached", lambda c: c.add("pair"), CODES["Zel_ERANGE"]),
    ("structure changed", lambda c: c.change("s", c["s"][0], 1), CODES["Zel_EINVAL"]),
    ("member of another", lambda c: c["route"][0].delete("hop", c["route"][1]["hop"][0]),
     CODES["Zel_EFOREIGN"]),
    ("markup ends in a tag", lambda c: c.read_text("<config><port>1</po"), CODES["Zel_EINVAL"]),
], ids=lambda case: case if isinstance(case, str) else "")
def test_failures_raise_the_code_and_change_nothing(config, what, call, code):
    before = {name: config[name] for name in ("port", "count", "flag", "mode", "pair")}
    error = pytest.raises(qorvcfg.Error, call, config).value
    assert error.code == code, what
    assert error.name == qorvcfg.result_text(code).split(":")[0].split("|")[0]
    assert {name: config[name] for name in before} == before


def test_changes_write_the_values_in_the_data_format(config, tmp_path):
    with qorvcfg.Config(SERVICE) as service:
        service.add("port", 8443)
        service.add("listen", ipaddress.ip_address("::1"))
        service.add("listen", ipaddress.ip_interface("10.0.0.0/8"))
        service.add("listen", "front.example")
        service.add("log_level", "debug")
        service.add("server_name", "relay")
        service.add("tls", True)
        service.add("upstream", {"name": "a", "weight": [5], "backup": None})
        beta = service.add("upstream", {"name": "b"})
        beta.add("port", 81)
        beta.change("port", 81, 82)
        service.delete("listen", "front.example")
        service.change("log_level", "debug", "error")
        service.write(tmp_path / "out.conf")
        assert (tmp_path / "out.conf").read_text() == (
            "<config>\n  <port>8443</port>\n"
            "  <listen>0000:0000:0000:0000:0000:0000:0000:0001</listen>\n"
            "  <listen>10.0.0.0/255.0.0.0</listen>\n  <log_level>error</log_level>\n"
            "  <server_name>relay</server_name>\n  <tls>TRUE</tls>\n"
            "  <upstream>    <name>a</name>\n    <weight>5</weight>\n"
            "    <backup>FALSE</backup>\n  </upstream>\n"
            "  <upstream>    <name>b</name>\n    <port>82</port>\n  </upstream>\n</config>\n")
        assert service["listen"][1] == ipaddress.ip_interface("10.0.0.0/8")
    config.add("blob", "\xe9")
    assert config["blob"] == ["\xe9"]


def test_values_keep_their_config_and_refuse_when_released():
    route = qorvcfg.Config(EVERY_TYPE)
    route.read(EVERY_TYPE_DATA)
    kept = route["route"][0]
    del route
    gc.collect()
    assert kept["id"] == [8], "a structure keeps its Config alive"

    with qorvcfg.Config(EVERY_TYPE) as config:
        config.read(EVERY_TYPE_DATA)
        structure = config["s"][0]
        pytest.raises(qorvcfg.Error, config.read, "no such data")
        assert structure["a"] == [1], "a read that could not open its file releases nothing"
        pytest.raises(qorvcfg.Error, config.read, EVERY_TYPE_DATA)
        assert config["port"] == [] and "released" in repr(structure)
        pytest.raises(ValueError, lambda: structure["a"])
    pytest.raises(ValueError, lambda: config["port"])
