//%attributes = {}
// Sealing a text and opening it again.
// LQM_CipherText seals a text in the plugin's encrypted envelope under a key
// (only the first 16 bytes of the key's UTF-8 form count). With the Base64
// layer on (LQM with Base64) the sealed value is plain ASCII, safe to keep
// in a text field or send in a mail. LQM seal text seals, LQM open text opens. Returns the
// sealed and opened texts in an object.
//
// Results, with the key "my secret key":
//   sealed        = "pxRxSSVeakpJJGbS7ZO4kQ=="   (12 UTF-8 bytes seal to 24 characters)
//   opened        = "Meet at noon"
//   sealedUmlauts = "r4E88915UPXDkcJ33Yfgu9ZZZbdGBWpw"   ("Grüße aus Köln", 17 UTF-8 bytes)
//   openedUmlauts = "Grüße aus Köln"
//   sealedEmpty   = ""   (sealing an empty text gives an empty text)
// Opening with another key gives unreadable characters, not an error.

#DECLARE()->$result : Object

var $key; $sealed; $opened : Text

$key:="my secret key"
$sealed:=LQM_CipherText("Meet at noon"; $key; LQM seal text; LQM with Base64)
$opened:=LQM_CipherText($sealed; $key; LQM open text; LQM with Base64)
If ($opened#"Meet at noon")
	ALERT("Wrong key, or the sealed text was damaged.")
End if

$result:=New object("sealed"; $sealed; "opened"; $opened)
$result.sealedUmlauts:=LQM_CipherText("Grüße aus Köln"; $key; LQM seal text; LQM with Base64)
$result.openedUmlauts:=LQM_CipherText($result.sealedUmlauts; $key; LQM open text; LQM with Base64)
$result.sealedEmpty:=LQM_CipherText(""; $key; LQM seal text; LQM with Base64)
