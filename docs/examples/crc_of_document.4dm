//%attributes = {}
// Checking a document with a CRC.
// Reads a document into a BLOB and computes its CRC-32 (model 2) with the
// table-driven engine (engine 1), then compares it with a checksum kept from
// an earlier run. CRC-32 is the checksum of ZIP and PNG; the plugin returns
// it as a longint with the same bit pattern, so about half of all values are
// negative. Checked by tests/sessions/example_crc.in.
//
// Results, for a document holding the 9 bytes "123456789":
//   $crc32   = -873187034   (0xCBF43926)
//   $crc16   = 10673        (0x29B1, model 0: CRC-16/CCITT-FALSE)
//   $crc16arc = 47933       (0xBB3D, model 1: CRC-16/ARC; bitwise engine 0 gives the same)
// For "abc": $crc32 = 891568578 (0x352441C2). For an empty document: 0 for every model.

C_TEXT($path)
C_BLOB($data)
C_LONGINT($crc32; $crc16; $crc16arc; $expected)

$path:=Select document(""; "*"; "Document to check"; 0)
If (OK=1)
	DOCUMENT TO BLOB(Document; $data)
	$crc32:=LQM_ComputeCRC($data; 2; 1)
	$crc16:=LQM_ComputeCRC($data; 0; 1)
	$crc16arc:=LQM_ComputeCRC($data; 1; 0)
	
	$expected:=-873187034  // kept from the day the document was stored
	If ($crc32=$expected)
		ALERT("The document is intact.")
	Else
		ALERT("The document has changed: CRC-32 "+String($crc32; "&x"))
	End if
End if
