// Registers the Delaunay3D interface with its reflection data, Delaunay3DImpl as its implementation
// and the enumerations of the tetrahedralisation.

#include "delaunay3d/delaunay3d_impl.h"
#include "zemox/enumeration.h"
#include "zemox/interface.h"

namespace zemox {
namespace {

const InterfaceRegistration<Delaunay3DInterface> delaunay3DInterface;
const ImplementationRegistration<Delaunay3DInterface, Delaunay3DImpl> delaunay3DImplementation("Delaunay3DImpl");
const EnumRegistration<FLIPCASE> flipCaseEnum;
const EnumRegistration<ORIENTATION> orientationEnum;
const EnumRegistration<INSIDETEST> insideTestEnum;

}  // namespace
}  // namespace zemox
