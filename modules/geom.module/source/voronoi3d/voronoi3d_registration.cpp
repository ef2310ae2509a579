// Registers the Voronoi3D interface with its reflection data and Voronoi3DImpl as its implementation.

#include "voronoi3d/voronoi3d_impl.h"
#include "zemox/interface.h"

namespace zemox {
namespace {

const InterfaceRegistration<Voronoi3DInterface> voronoi3DInterface;
const ImplementationRegistration<Voronoi3DInterface, Voronoi3DImpl> voronoi3DImplementation("Voronoi3DImpl");

}  // namespace
}  // namespace zemox
