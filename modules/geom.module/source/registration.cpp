// Records of the module itself: the module record, its error class, enumerations, the module-info
// record of the big-number library, and the declarations it carries for other modules to implement.
// Services register their own interfaces and implementations in their translation units.

#include <mpfr.h>

#include "geom/degeneratedinputerror.h"
#include "private_geom/outlineprocessing.h"
#include "zemox/enumeration.h"
#include "zemox/interface.h"
#include "zemox/registry.h"

namespace zemox {

// Declared here for other modules, which implement it; this module only registers the declaration.
ZEMOX_ENUM(GEOMETRYDECOMPOSITION_OUTPUT, "GEOMETRYDECOMPOSITION_OUTPUT",
           "net.zemox.private_geom.enum.geometrydecomposition_output", (NONE, 0), (TRIS, 1), (QUADS, 2), (NGONS, 3))
class GeometryDecompositionInterface : public StaticInterface<GeometryDecompositionInterface> {
 public:
  ZEMOX_INTERFACE("net.zemox.private_geom.interface.geometrydecomposition", 1)
  ZEMOX_STATIC_SLOT(0, GEOMETRYDECOMPOSITION_OUTPUT, GetSupportedOutput)
};

namespace {

constexpr Id moduleFrameworks[] = {"net.zemox.geom.framework", "net.zemox.private_geom.framework"};
constexpr Id moduleDependencies[] = {"net.zemox.core.framework", "net.zemox.misc.framework"};
constexpr ModuleInfo geomModule{{moduleFrameworks, 2}, {moduleDependencies, 2}};
const Registration moduleRecord({.kind = RecordKind::MODULE, .id = "net.zemox.geom", .moduleInfo = &geomModule});

const Registration degeneratedInputInterface({.kind = RecordKind::INTERFACE, .id = DegeneratedInputErrorInterfaceId});
const Registration degeneratedInputErrorClass({.kind = RecordKind::ERRORCLASS,
                                               .id = DegeneratedInputError,
                                               .owner = DegeneratedInputErrorInterfaceId});

const EnumRegistration<OUTLINEPROCESSING_INPUT> outlineProcessingInputEnum;

// The big-number library that computes circumcentres; the version is the one actually linked.
const LibraryInfo bigNumberLibrary{"MPFR - Multiple-precision floating-point computations with correct rounding",
                                   mpfr_get_version()};
const Registration bigNumberModuleInfo({.kind = RecordKind::MODULEINFO,
                                        .id = "net.zemox.moduleinfo.mpfr",
                                        .libraryInfo = &bigNumberLibrary});

// Declarations carried for other modules: this module implements none of them.
const InterfaceRegistration<GeometryDecompositionInterface> geometryDecompositionInterface;
const EnumRegistration<GEOMETRYDECOMPOSITION_OUTPUT> geometryDecompositionOutputEnum;
const Registration straightSkeletonInterface({.kind = RecordKind::INTERFACE,
                                              .id = "net.zemox.private_geom.straightskeleton"});
const Registration mesherInterface({.kind = RecordKind::INTERFACE, .id = "net.zemox.private_geom.interface.mesher"});
const Registration tessellationInterface({.kind = RecordKind::INTERFACE,
                                          .id = "net.zemox.private_geom.interface.tessellation"});

const Registration mesherRegistry({.kind = RecordKind::REGISTRY,
                                   .id = "net.zemox.private_geom.registry.mesherclasses"});
const Registration tessellationRegistry({.kind = RecordKind::REGISTRY,
                                         .id = "net.zemox.private_geom.registry.tessellationclasses"});

const Registration straightSkeletonClass({.kind = RecordKind::CLASS,
                                          .id = "net.zemox.private_geom.straightskeleton.straightskeleton",
                                          .owner = "net.zemox.private_geom.straightskeleton"});
const Registration delaunayMesherClass({.kind = RecordKind::CLASS,
                                        .id = "net.zemox.private_geom.mesherclass.delaunay",
                                        .owner = "net.zemox.private_geom.interface.mesher"});
const Registration regularMesherClass({.kind = RecordKind::CLASS,
                                       .id = "net.zemox.private_geom.mesherclass.regular",
                                       .owner = "net.zemox.private_geom.interface.mesher"});
const Registration fistTessellationClass({.kind = RecordKind::CLASS,
                                          .id = "net.zemox.private_geom.tessellationclass.fist",
                                          .owner = "net.zemox.private_geom.interface.tessellation"});
const Registration simpleTessellationClass({.kind = RecordKind::CLASS,
                                            .id = "net.zemox.private_geom.tessellationclass.simple",
                                            .owner = "net.zemox.private_geom.interface.tessellation"});
const Registration delaunayTessellationClass({.kind = RecordKind::CLASS,
                                              .id = "net.zemox.private_geom.tessellationclass.delaunay",
                                              .owner = "net.zemox.private_geom.interface.tessellation"});

const Registration options[] = {
    Registration({.kind = RecordKind::OPTION, .id = "net.zemox.private_geom.geometrydecompositionoption.quad"}),
    Registration({.kind = RecordKind::OPTION, .id = "net.zemox.private_geom.mesheroption.delaunay.gradient"}),
    Registration({.kind = RecordKind::OPTION, .id = "net.zemox.private_geom.mesheroption.delaunay.maxsizefactor"}),
    Registration({.kind = RecordKind::OPTION, .id = "net.zemox.private_geom.mesheroption.delaunay.minangle"}),
    Registration({.kind = RecordKind::OPTION, .id = "net.zemox.private_geom.mesheroption.regular.gridstep"}),
    Registration({.kind = RecordKind::OPTION, .id = "net.zemox.private_geom.mesheroption.regular.gridbox"}),
    Registration({.kind = RecordKind::OPTION, .id = "net.zemox.outlineprocessing.thread"}),
    Registration({.kind = RecordKind::OPTION, .id = "net.zemox.private_geom.tesselationoption.fist.sorted"}),
    Registration({.kind = RecordKind::OPTION, .id = "net.zemox.private_geom.tesselationoption.fist.earsrandom"}),
    Registration({.kind = RecordKind::OPTION, .id = "net.zemox.private_geom.tesselationoption.fist.earstop"}),
    Registration({.kind = RecordKind::OPTION, .id = "net.zemox.private_geom.tesselationoption.fist.earsfancy"}),
};

}  // namespace
}  // namespace zemox
