#!/usr/bin/python3
"""The README's C++ snippets, built as a host builds them and run.

Installs the build into a temporary prefix (cmake --install), writes a host project whose
CMakeLists.txt holds the README's cmake blocks as they stand and whose programs hold its C++
blocks as they stand (the #include and using lines at the top of the file, the rest in a
function body), builds it against the installed packages with find_package, registers the
installed library with the installed tarv-regsvr, and runs each program. A C++ block of the
README that this script does not know fails the test, so no snippet goes unbuilt.

Usage: readme_hosts.py SOURCE_DIR BUILD_DIR CMAKE CXX [EXTRA_CXX_FLAGS]
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

# What each snippet needs around it, found by a text it contains: the program's name (the
# README's cmake blocks name myhost and myapp), the file-scope code before it, the lines that
# give it the names it uses, what runs after it (printing what the run is checked against),
# and the output expected.
HOSTS = [
    {
        "marker": "TarvUtilityForm.h",
        "program": "wheelhost",
        "link": "TarvUtility::TarvUtility",
        "file_scope": r"""
#include <QApplication>
#include <QDebug>
#include <QWheelEvent>
#include <QWidget>
#include <cstdio>

// The host's handler of the MouseWheel event.
class Sink final : public tarv::com::IDispatch {
public:
    tarv::com::HRESULT QueryInterface(tarv::com::REFIID riid, void** ppv) override {
        if (riid == tarv::com::IID_IUnknown || riid == tarv::com::IID_IDispatch ||
            riid == tarv::utility::DIID___CMouseWheel) {
            *ppv = this;
            return tarv::com::S_OK;
        }
        *ppv = nullptr;
        return tarv::com::E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 2; }
    uint32_t Release() override { return 1; }
    tarv::com::HRESULT GetTypeInfoCount(uint32_t*) override { return tarv::com::E_NOTIMPL; }
    tarv::com::HRESULT GetTypeInfo(uint32_t, tarv::com::LCID, tarv::com::ITypeInfo**) override {
        return tarv::com::E_NOTIMPL;
    }
    tarv::com::HRESULT GetIDsOfNames(tarv::com::REFIID, const QString*, uint32_t,
                                     tarv::com::LCID, tarv::com::DISPID*) override {
        return tarv::com::E_NOTIMPL;
    }
    tarv::com::HRESULT Invoke(tarv::com::DISPID, tarv::com::REFIID, tarv::com::LCID, uint16_t,
                              tarv::com::DISPPARAMS* params, tarv::com::Variant*,
                              tarv::com::EXCEPINFO*, uint32_t*) override {
        calls += params->cArgs == 1 ? 1 : 100;
        return tarv::com::S_OK;
    }
    int calls = 0;
};
""",
        "context": "QWidget myWindow;\nmyWindow.resize(200, 100);\nmyWindow.show();\n"
                   "Sink mySink;\n",
        "after": r"""
const QPointF at(5, 5);
QWheelEvent turn(at, myWindow.mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                 Qt::NoModifier, Qt::NoScrollPhase, false);
QApplication::sendEvent(&myWindow, &turn);
std::printf("MouseWheel %d\n", mySink.calls);
// As the README says: unhooked before the window goes (and the sink with it).
call(wheel.get(), "SubClassUnHookForm", {});
point->Unadvise(cookie);
return 0;
""",
        "gui": True,
        "expected": "MouseWheel 1\n",
    },
    {
        "marker": "CheckCodFiscale",
        "program": "myhost",
        "file_scope": "#include <QCoreApplication>\n#include <cstdio>\n",
        "context": "",
        "after": r"""
std::printf("%s %.2f\n", ok == VARIANT_TRUE ? "True" : "False", r.toR8());
return 0;
""",
        "gui": False,
        "expected": "True 2.68\n",
    },
    {
        "marker": "tarv/ctlBarcode.h",
        "program": "myapp",
        "file_scope": "#include <QApplication>\n#include <QDebug>\n#include <QWidget>\n"
                      "#include <cstdio>\n",
        "context": "QWidget window;\nwindow.resize(300, 120);\nQWidget* parentWidget = &window;\n"
                   "window.show();\n",
        "after": r"""
std::printf("%d %s %d\n", s.number, picture.isNull() ? "vuota" : "disegnata",
            barcode->Codice() == QStringLiteral("400638133393"));
return 0;
""",
        "gui": True,
        "expected": "0 disegnata 1\n",
    },
]


def blocks(readme, language):
    return re.findall(r"^```" + language + r"\n(.*?)^```", readme, re.S | re.M)


def program_text(snippet, host):
    top, body = [], []
    for line in snippet.splitlines():
        (top if line.startswith(("#include", "using namespace")) else body).append(line)
    application = "QApplication" if host["gui"] else "QCoreApplication"
    indent = lambda text: "".join("    " + l + "\n" if l else "\n" for l in text.splitlines())
    return (
        "\n".join(l for l in top if l.startswith("#include")) + "\n" + host["file_scope"] +
        "\n".join(l for l in top if l.startswith("using")) + "\n\n"
        "static int snippet() {\n" + indent(host["context"]) + indent("\n".join(body)) +
        indent(host["after"]) + "}\n\n"
        "int main(int argc, char** argv) {\n"
        "    " + application + " app(argc, argv);\n"
        "    return snippet();\n"
        "}\n")


def run(args, **kw):
    result = subprocess.run(args, capture_output=True, text=True, **kw)
    if result.returncode != 0:
        sys.exit("readme_hosts: %s failed (%d):\n%s%s" %
                 (" ".join(args), result.returncode, result.stdout, result.stderr))
    return result


def main():
    work = tempfile.mkdtemp(prefix="tarv-readme-")
    try:
        build_and_run(work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def build_and_run(work):
    source, build, cmake, cxx = sys.argv[1:5]
    extra_flags = sys.argv[5] if len(sys.argv) > 5 else ""
    readme = open(os.path.join(source, "README.md"), encoding="utf-8").read()
    prefix = os.path.join(work, "prefix")
    run([cmake, "--install", build, "--prefix", prefix])

    project = os.path.join(work, "host")
    os.makedirs(project)
    seen = set()
    for snippet in blocks(readme, "cpp"):
        host = next((h for h in HOSTS if h["marker"] in snippet), None)
        if host is None:
            sys.exit("readme_hosts: a C++ block of the README that this test does not build:\n" +
                     snippet)
        seen.add(host["program"])
        with open(os.path.join(project, host["program"] + ".cpp"), "w") as f:
            f.write(program_text(snippet, host))
    missing = [h["program"] for h in HOSTS if h["program"] not in seen]
    if missing:
        sys.exit("readme_hosts: the README no longer holds the snippets of " + ", ".join(missing))

    lists = ["cmake_minimum_required(VERSION 3.25)", "project(ReadmeHosts CXX)",
             "set(CMAKE_CXX_STANDARD 20)", "set(CMAKE_AUTOMOC ON)",
             "find_package(Qt6 REQUIRED COMPONENTS Widgets)"]
    lists += ["add_executable(%s %s.cpp)" % (h["program"], h["program"]) for h in HOSTS]
    lists += blocks(readme, "cmake")
    lists += ["target_link_libraries(%s PRIVATE %s)" % (h["program"], h["link"])
              for h in HOSTS if "link" in h]
    lists += ["target_link_libraries(%s PRIVATE Qt6::Widgets)" % h["program"] for h in HOSTS]
    with open(os.path.join(project, "CMakeLists.txt"), "w") as f:
        f.write("\n".join(lists) + "\n")

    out = os.path.join(work, "host-build")
    run([cmake, "-S", project, "-B", out, "-DCMAKE_PREFIX_PATH=" + prefix,
         "-DCMAKE_CXX_COMPILER=" + cxx, "-DCMAKE_CXX_FLAGS=" + extra_flags,
         "-DCMAKE_EXE_LINKER_FLAGS=" + extra_flags, "-DCMAKE_BUILD_TYPE=Debug"])
    run([cmake, "--build", out, "-j", "2"])

    env = dict(os.environ)
    env["TARV_WINDIR"] = os.path.join(work, "windir")
    run([os.path.join(prefix, "bin", "tarv-regsvr"),
         os.path.join(prefix, "lib", "libTarvUtility.so")], env=env)
    failures = []
    for host in HOSTS:
        host_env = dict(env)
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
            host_env.pop(name, None)
        if host["gui"]:
            host_env["QT_QPA_PLATFORM"] = "offscreen"
        result = subprocess.run([os.path.join(out, host["program"])], capture_output=True,
                                text=True, env=host_env, timeout=60)
        if result.returncode != 0 or result.stdout != host["expected"]:
            failures.append("%s: status %d, output %r (expected %r)\n%s" %
                            (host["program"], result.returncode, result.stdout,
                             host["expected"], result.stderr))
        else:
            print("%s: %s" % (host["program"], result.stdout.strip()))
    if failures:
        sys.exit("readme_hosts:\n" + "\n".join(failures))


if __name__ == "__main__":
    main()
