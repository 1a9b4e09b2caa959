<Design>
	<DisplayItems>
		<DisplayItem>
			<Position X="0" Y="0" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="rom=a02 if all read:"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="1" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="ÀÁÂÃÄÅ ÆÇ ÈÉÊË Ñ"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="2" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="БДЖЗИЙЛ ЦЧШЩ ЮЯ"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="3" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="£ ¿ ¡ © ® ß ♪ ♥"/>
		</DisplayItem>
	</DisplayItems>
	<Background FileName=""/>
</Design>
