# The English localized resource file (macOS: Resources/English.lproj/
# Localized.rsrc), opened after the main file. Its strings are those of the
# main file, so that either file alone answers.
resource "STR#" 20013 strings {
  "Print to document"
  "Preparing document…"
  "The document could not be written."
  "Document saved."
}
