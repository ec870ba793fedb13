// Keeps vorla_core a valid library while a build has no plain C++ sources.
namespace vorla {
int vorla_core_anchor = 0;
}
