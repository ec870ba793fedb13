/*
 * schema_pod.cpp - writes the schema guide, Vorla/Schema.pod, from the base
 * schema of the client library itself, so the guide cannot disagree with the
 * directory a script meets.
 *
 *   schema_pod OUTPUT.pod
 *
 * It opens a private in-memory tree (NWCLIENT_STORE=:memory:, no trace, no
 * fault plan) and reads the definitions through the published calls only:
 * NWDSReadSyntaxes, NWDSReadAttrDef and NWDSReadClassDef (the class's own
 * definition and its expanded one), walking every part of each iteration.
 * The output is written to OUTPUT.tmp and renamed, so a reader never sees
 * half of it.  Exit status 0 on success; 1 with a message on standard error
 * when a call fails or the file cannot be written.
 */
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "nwclient.h"

namespace {

struct ClassDef {
  std::string name;
  nuint32 flags = 0;
  std::vector<std::string> lists[5]; // super classes, containment, naming, mandatory, optional
};

struct Failure {
  std::string what;
  NWDSCCODE status;
};

void check(NWDSCCODE rc, const char *what) {
  if (rc != 0) throw Failure{what, rc};
}

// Reads every (name, syntax id) pair of an attribute or syntax read.
std::vector<std::pair<std::string, nuint32>> read_named(NWDSContextHandle ctx, bool attrs, pBuf_T out) {
  std::vector<std::pair<std::string, nuint32>> all;
  nint32 it = NO_MORE_ITERATIONS;
  do {
    check(attrs ? NWDSReadAttrDef(ctx, DS_ATTR_DEFS, 1, nullptr, &it, out)
                : NWDSReadSyntaxes(ctx, 1, 1, nullptr, &it, out),
          attrs ? "NWDSReadAttrDef" : "NWDSReadSyntaxes");
    nuint32 count = 0;
    check(NWDSGetAttrCount(ctx, out, &count), "NWDSGetAttrCount");
    for (nuint32 i = 0; i < count; ++i) {
      char name[MAX_SCHEMA_NAME_BYTES];
      nuint32 values = 0, syntax = 0;
      check(NWDSGetAttrName(ctx, out, name, &values, &syntax), "NWDSGetAttrName");
      all.emplace_back(name, syntax);
    }
  } while (it != NO_MORE_ITERATIONS);
  return all;
}

std::vector<ClassDef> read_classes(NWDSContextHandle ctx, nuint32 infoType, pBuf_T out) {
  std::vector<ClassDef> all;
  nint32 it = NO_MORE_ITERATIONS;
  do {
    check(NWDSReadClassDef(ctx, infoType, 1, nullptr, &it, out), "NWDSReadClassDef");
    nuint32 count = 0;
    check(NWDSGetClassDefCount(ctx, out, &count), "NWDSGetClassDefCount");
    for (nuint32 i = 0; i < count; ++i) {
      ClassDef c;
      char name[MAX_SCHEMA_NAME_BYTES];
      Class_Info_T info{};
      check(NWDSGetClassDef(ctx, out, name, &info), "NWDSGetClassDef");
      c.name = name;
      c.flags = info.classFlags;
      for (auto &list : c.lists) {
        nuint32 n = 0;
        check(NWDSGetClassItemCount(ctx, out, &n), "NWDSGetClassItemCount");
        for (nuint32 k = 0; k < n; ++k) {
          char item[MAX_SCHEMA_NAME_BYTES];
          check(NWDSGetClassItem(ctx, out, item), "NWDSGetClassItem");
          list.emplace_back(item);
        }
      }
      all.push_back(std::move(c));
    }
  } while (it != NO_MORE_ITERATIONS);
  return all;
}

// POD-escapes a text: < and > become E<lt> and E<gt>.
std::string pod(const std::string &s) {
  std::string r;
  for (char ch : s) {
    if (ch == '<') r += "E<lt>";
    else if (ch == '>') r += "E<gt>";
    else r += ch;
  }
  return r;
}

std::string joined(const std::vector<std::string> &names) {
  if (names.empty()) return "none";
  std::string r;
  for (const auto &n : names) r += (r.empty() ? "" : ", ") + pod(n);
  return r;
}

void write_pod(std::ostream &o, const std::vector<std::pair<std::string, nuint32>> &syntaxes,
               const std::vector<std::pair<std::string, nuint32>> &attrs, const std::vector<ClassDef> &own,
               const std::vector<ClassDef> &expanded) {
  std::map<nuint32, std::string> syntax_name;
  for (const auto &[name, id] : syntaxes) syntax_name[id] = name;
  auto syntax_of = [&](nuint32 id) {
    auto f = syntax_name.find(id);
    return (f == syntax_name.end() ? std::string("syntax") : f->second) + " (" + std::to_string(id) + ")";
  };

  o << "=head1 NAME\n\nVorla::Schema - the classes, attributes and syntaxes of the built-in directory\n\n"
       "=head1 DESCRIPTION\n\n"
       "The base schema of the directory that Vorla's built-in client creates in every new store, read\n"
       "from the client library when the module was built.  Names are matched without regard to case.\n"
       "A store may hold further definitions that a script added; C<Vorla::NWDSReadClassDef> and\n"
       "C<Vorla::NWDSReadAttrDef> read the schema of the tree at hand.\n\n"
       "How a value of each syntax is written in a script is in L<Vorla::Values>.\n\n";

  o << "=head1 CLASSES\n\n"
       "For each class: its super classes (nearest first), where its entries may be placed, the\n"
       "attributes that name them, the attributes an entry must have when it is added (its own and\n"
       "those of its super classes), and the optional attributes the class itself adds (an entry may\n"
       "also have every optional attribute of its super classes).  Only effective classes can be\n"
       "given as the C<Object Class> of a new entry.\n\n";
  for (size_t i = 0; i < own.size(); ++i) {
    const ClassDef &c = own[i];
    const ClassDef &x = i < expanded.size() && expanded[i].name == c.name ? expanded[i] : c;
    std::string kind = (c.flags & DS_EFFECTIVE_CLASS) ? "An effective" : "A non-effective";
    if (c.flags & DS_CONTAINER_CLASS) kind += " container";
    o << "=head2 " << pod(c.name) << "\n\n" << kind << " class.\n\n";
    o << "B<Super classes:> " << joined(x.lists[0]) << ".\n\n";
    o << "B<Contained in:> " << joined(x.lists[1]) << ".\n\n";
    o << "B<Named by:> " << joined(x.lists[2]) << ".\n\n";
    o << "B<Mandatory:> " << joined(x.lists[3]) << ".\n\n";
    o << "B<Optional:> " << (c.lists[4].empty() ? std::string("none of its own") : joined(c.lists[4]));
    if (!c.lists[0].empty()) o << "; and those of " << joined(c.lists[0]);
    o << ".\n\n";
  }

  o << "=head1 ATTRIBUTES\n\nEvery attribute with its syntax, which decides the form of its values.\n\n=over 4\n\n";
  for (const auto &[name, id] : attrs) o << "=item " << pod(name) << "\n\n" << syntax_of(id) << "\n\n";
  o << "=back\n\n";

  o << "=head1 SYNTAXES\n\n=over 4\n\n";
  for (const auto &[name, id] : syntaxes) {
    std::string users;
    int n = 0;
    for (const auto &[a, s] : attrs)
      if (s == id && n++ < 6) users += (users.empty() ? "" : ", ") + pod(a);
    if (n > 6) users += " and others";
    o << "=item " << id << " " << pod(name) << "\n\n"
      << (users.empty() ? std::string("No base attribute has this syntax.") : "For example: " + users + ".")
      << "\n\n";
  }
  o << "=back\n\n=head1 SEE ALSO\n\nL<Vorla>, L<Vorla::Values>\n\n=cut\n";
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.pod\n", argv[0]);
    return 1;
  }
  setenv("NWCLIENT_STORE", ":memory:", 1);
  unsetenv("NWCLIENT_TRACE");
  unsetenv("NWCLIENT_FAULTS");
  const std::string out = argv[1], tmp = out + ".tmp";
  NWDSContextHandle ctx = -1;
  pBuf_T buf = nullptr;
  int rc = 0;
  try {
    check(NWDSCreateContextHandle(&ctx), "NWDSCreateContextHandle");
    check(NWDSAllocBuf(MAX_MESSAGE_LEN, &buf), "NWDSAllocBuf");
    const auto syntaxes = read_named(ctx, false, buf);
    const auto attrs = read_named(ctx, true, buf);
    const auto own = read_classes(ctx, DS_FULL_CLASS_DEFS, buf);
    const auto expanded = read_classes(ctx, DS_EXPANDED_CLASS_DEFS, buf);
    std::ofstream f(tmp, std::ios::trunc);
    write_pod(f, syntaxes, attrs, own, expanded);
    f.close();
    if (!f || std::rename(tmp.c_str(), out.c_str()) != 0) {
      std::fprintf(stderr, "%s: cannot write %s\n", argv[0], out.c_str());
      std::remove(tmp.c_str());
      rc = 1;
    }
  } catch (const Failure &f) {
    std::fprintf(stderr, "%s: %s failed: %d\n", argv[0], f.what.c_str(), static_cast<int>(f.status));
    rc = 1;
  }
  if (buf != nullptr) NWDSFreeBuf(buf);
  if (ctx >= 0) NWDSFreeContext(ctx);
  return rc;
}
