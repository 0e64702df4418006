//%attributes = {}
// Checking a document with a CRC.
// Reads a document into a BLOB and computes its CRC-32 (LQM CRC32 model) with
// the table-driven engine (LQM CRC table engine), then compares it with a checksum kept from
// an earlier run. CRC-32 is the checksum of ZIP and PNG; the plugin returns
// it as a longint with the same bit pattern, so about half of all values are
// negative. Checked by tests/sessions/example_crc.in.
//
// Results, for a document holding the 9 bytes "123456789":
//   $crc32   = -873187034   (0xCBF43926)
//   $crc16   = 10673        (0x29B1, LQM CRC16 CCITT false model)
//   $crc16arc = 47933       (0xBB3D, LQM CRC16 ARC model; the bitwise engine gives the same)
// For "abc": $crc32 = 891568578 (0x352441C2). For an empty document: 0 for every model.

C_TEXT($path)
C_BLOB($data)
C_LONGINT($crc32; $crc16; $crc16arc; $expected)

$path:=Select document(""; "*"; "Document to check"; 0)
If (OK=1)
	DOCUMENT TO BLOB(Document; $data)
	$crc32:=LQM_ComputeCRC($data; LQM CRC32 model; LQM CRC table engine)
	$crc16:=LQM_ComputeCRC($data; LQM CRC16 CCITT false model; LQM CRC table engine)
	$crc16arc:=LQM_ComputeCRC($data; LQM CRC16 ARC model; LQM CRC bitwise engine)
	
	$expected:=-873187034  // kept from the day the document was stored
	If ($crc32=$expected)
		ALERT("The document is intact.")
	Else
		ALERT("The document has changed: CRC-32 "+String($crc32; "&x"))
	End if
End if
