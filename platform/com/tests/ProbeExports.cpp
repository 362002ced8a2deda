// The probe as a component library of its own, for the registration and creation tests.
#include "Module.h"
#include "Probe.h"

TARV_COM_DEFINE_EXPORTS(tarv::probe::probeTypeLibrary)
